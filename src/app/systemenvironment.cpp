#include "app/systemenvironment.h"

#include "app/serverhost.h"
#include "i18n/catalogue.h"
#include "platform/desktop/desktopopener.h"
#include "platform/files.h"

#include <QStandardPaths>

namespace zentaro::app {

AppEnvironment SystemEnvironment() {
    AppEnvironment env;
    env.versions = platform::CreateVersionResource();
    env.executableImage = platform::RunningExecutableImage();
    env.executablePath = platform::CurrentExecutablePath();
    env.programFolder = platform::ExecutableFolder();
    env.dataFolders = platform::CreateDataFolders();
    env.elevation = platform::CreateElevation();
    env.userLanguage = platform::CreateSystemUserLanguage();
    env.languagesFolder = i18n::DefaultLanguagesFolder().toStdString();
    env.registry = platform::CreateSystemRegistry();
    env.systemInfo = platform::CreateSystemInfo();
    env.clockSpeed = platform::CreateClockSpeedSource();
    env.opener = std::make_shared<platform::DesktopOpener>();
    env.textViewer = platform::CreateTextViewer(env.opener);
    env.serverHost = ServerHost();
    env.xHost = XShareHost();
    env.facebookHost = FacebookShareHost();
    env.restarter = platform::CreateRestarter();
    env.documentsFolder =
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
    env.online.updateCheck = true;
    env.online.os = platform::CreateOsDescription();
    env.online.locale = platform::CreateUserLocale();
    env.online.machine = platform::CreateMachineIdentity();
    return env;
}

} // namespace zentaro::app
