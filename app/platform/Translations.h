#pragma once

// The application's texts in the person's language: Quillmere's own translation and Qt's
// for its standard dialogs, chosen by the system locale. Installed before anything turns a
// text into words, the preference defaults (the log templates) included; an untranslated
// text shows as written.
class Translations
{
public:
    // Needs the application object. Safe to call once per process.
    static void install();
};
