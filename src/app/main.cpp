// zentaro: the benchmark's window.
#include "app/appform.h"
#include "app/application.h"
#include "app/systemenvironment.h"
#include "appfonts.h"
#include "platform/instancemarker.h"
#include "platform/processend.h"

#include <QApplication>

namespace {

// The whole program; everything it opened is closed and saved when this returns.
int RunProgram(int argc, char** argv) {
    // Marks that a copy runs; a second copy starts all the same.
    const auto marker = zentaro::platform::CreateInstanceMarker("KESTRIX_Zentaro");
    // Also sets the application's title.
    zentaro::app::ZentaroApplication application(argc, argv);
    // The window's layout was made for Tahoma's metrics; it comes compiled in.
    zentaro::assets::RegisterTahoma();
    zentaro::app::TAppForm form(zentaro::app::SystemEnvironment());
    form.show();
    return application.exec();
}

} // namespace

int main(int argc, char** argv) {
    // A closed program leaves no process behind, whatever the runtimes' own
    // clean-up would wait for.
    zentaro::platform::EndProcess(RunProgram(argc, argv));
}
