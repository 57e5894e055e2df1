#pragma once

#include <QWidget>

// The preferences: both intervals, both lookup switches, both log templates with a switch
// each, and a button that restores the default templates. Every change is stored at once
// (templates when their editing finishes) and reaches every open window.
class PreferencesWindow : public QWidget
{
    Q_OBJECT

public:
    explicit PreferencesWindow(QWidget *parent = nullptr);
};
