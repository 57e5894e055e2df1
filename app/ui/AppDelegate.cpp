#include "AppDelegate.h"

#include "StreamWindowController.h"
#include "platform/Preferences.h"

AppDelegate::AppDelegate(QObject *parent)
    : QObject(parent)
{
    Preferences::shared().registerDefaultPreferences();
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching()
{
    newChooser();
}

void AppDelegate::newChooser()
{
    StreamWindowController::showControllerWithInterface(QStringLiteral("lo"), QStringLiteral("127.0.0.1"));
}

void AppDelegate::showHelp()
{
}

void AppDelegate::showPreferences()
{
}
