// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

#include <memory>

class QCheckBox;
class QDoubleSpinBox;
class QLineEdit;

namespace Ui {
class PreferencesWindow;
}

// The preferences: both intervals, both lookup switches, both log templates with a switch
// each, a button that restores the default templates, and whether history is kept, for how
// long, how much of it and in which file. Every change is stored at once
// (templates when their editing finishes) and reaches every open window through the store;
// every control follows changes made elsewhere. Closing only hides it, so the application
// can keep one instance and show it again.
class PreferencesWindow : public QWidget
{
    Q_OBJECT

public:
    explicit PreferencesWindow(QWidget *parent = nullptr);
    ~PreferencesWindow() override;

private:
    void bindInterval(QDoubleSpinBox *box, const QString &key);
    void bindStreamLimit();
    void bindSwitch(QCheckBox *check, const QString &key);
    void bindTemplate(QLineEdit *field, const QString &key, const QString &enabledKey);
    void bindHistory();
    void bindHistorySize();
    void bindHistoryPath();
    void chooseHistoryPath();
    void setUpClosing();
    void fitHints();

    std::unique_ptr<Ui::PreferencesWindow> m_ui;
};
