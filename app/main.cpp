#include "ErrorReport.h"
#include "InstanceLock.h"
#include "TEndFromOutside.h"
#include "TMainForm.h"
#include "TOptions.h"
#include "TSntpSource.h"

#include <QApplication>
#include <QSessionManager>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#ifndef QUORVANE_VENDOR_HOST
#error "the build names the vendor's web host"
#endif

int main(int argc, char **argv)
{
    using namespace quorvane;
    // The toolkit reads these once, as it starts. The ones set here are the bar's own choices
    // and are taken back then, so a browser the bar opens starts as the desktop would start it.
    std::vector<const char *> ownChoices;
    // Wayland lets no client place itself at the top edge or stay above others; XWayland does.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY")
        && (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
            || qgetenv("XDG_SESSION_TYPE") == "wayland")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        ownChoices.push_back("QT_QPA_PLATFORM");
    }

    // The bar repaints a few kilobytes a second. Through shared memory the toolkit waits on
    // the X server before each repaint, which wakes two of its threads; through the socket, none.
    if (qEnvironmentVariableIsEmpty("QT_XCB_NO_MITSHM")) {
        qputenv("QT_XCB_NO_MITSHM", "1");
        ownChoices.push_back("QT_XCB_NO_MITSHM");
    }

    QApplication app(argc, argv);
    for (const char *name : ownChoices)
        qunsetenv(name);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setQuitOnLastWindowClosed(false);

    const std::string appDir
        = QCoreApplication::applicationDirPath().toLocal8Bit().toStdString() + "/";
    // A second bar from the same folder (a login start plus a manual one) leaves quietly, before
    // options.ini is read.
    const TInstanceLock lock(appDir + "quorvane.lock");
    if (lock.HeldElsewhere())
        return 0;

    TMainFormConfig config;
    config.AppDir = appDir;
    config.VendorHost = QUORVANE_VENDOR_HOST;
    config.VendorSite = QUORVANE_VENDOR_SITE;
    config.VendorCaption = QUORVANE_VENDOR_CAPTION;
    int status = 0;
    {
        TMainForm form(config);

        TSntpSource sntp;
        sntp.SetGuard([](const std::function<void()> &f) { Guarded(f); });
        std::unique_ptr<TOptions> options;
        form.SetOptionsDialog([&options, &sntp] {
            if (!options)
                options = std::make_unique<TOptions>(&sntp);
            return options.get();
        });

        QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
            [&form](QSessionManager &) { form.SessionEnding(); });

        // Ended from outside, the bar closes as "Close" would, without a report to wait on.
        const auto end = [&form] {
            form.SessionEnding();
            QCoreApplication::quit();
        };
        const TEndFromOutside ending(end);
        form.Desktop().SetOnWindowDestroyed(&form, end);

        form.show();
        status = app.exec();
    }
    // The windows are gone and the bounds written. A query waiting on a silent server or a
    // download being called off may still be running: it must find the statics it uses where it
    // left them, so the process ends here without tearing them down.
    if (!TBackgroundCalls::JoinAllIfDone()) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
