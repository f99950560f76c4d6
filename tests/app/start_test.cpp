// The window program's start: --version and --help answered before Qt, every
// other argument left to Qt, and how the desktop knows the program (its name,
// its launcher's id and its icon) without a change to the main window's caption.

#include <QIcon>
#include <QPixmap>
#include <QTest>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/app_config.h"
#include "app/desktop_identity.h"
#include "app/main_window.h"
#include "app/start_options.h"
#include "harvest/harvest_store.h"
#include "platform/version.h"
#include "tests/app/qt_test_main.h"
#include "tests/support/answering_dialogs.h"

using namespace quorvel;

namespace {

std::optional<std::string> answer(std::initializer_list<const char*> arguments) {
    std::vector<const char*> argv{"quorvel"};
    argv.insert(argv.end(), arguments);
    return app::early_answer(static_cast<int>(argv.size()), argv.data());
}

}  // namespace

class StartTest : public QObject {
    Q_OBJECT

  private slots:
    void version_and_help_end_the_program() {
        const std::string version = std::string("quorvel ") + quorvel::version_text + "\n";
        QCOMPARE(answer({"--version"}), version);
        // Wherever it stands among Qt's options.
        QCOMPARE(answer({"-platform", "offscreen", "--version"}), version);
        for (const char* help : {"--help", "-h"}) {
            const auto text = answer({help});
            QVERIFY(text.has_value());
            QVERIFY(text->starts_with("Usage: quorvel "));
            QVERIFY(text->find("--version") != std::string::npos);
        }
    }

    void other_arguments_start_the_window() {
        QCOMPARE(answer({}), std::nullopt);
        QCOMPARE(answer({"-platform", "offscreen"}), std::nullopt);
        QCOMPARE(answer({"-style", "Fusion", "-reverse"}), std::nullopt);
        // Only the exact option words count.
        QCOMPARE(answer({"--versions"}), std::nullopt);
        QCOMPARE(answer({"-help"}), std::nullopt);
        QCOMPARE(answer({"version"}), std::nullopt);
    }

    void desktop_identity_names_the_program_and_draws_its_icon() {
        app::set_desktop_identity();
        // The X11 class name and the launcher's StartupWMClass.
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("quorvel"));
        QCOMPARE(QGuiApplication::desktopFileName(), QString::fromUtf8(app::desktop_id));
        QVERIFY(QGuiApplication::applicationDisplayName() == QCoreApplication::applicationName());

        // Every size is built in, each drawn at its own size rather than scaled.
        const QIcon icon = QGuiApplication::windowIcon();
        QCOMPARE(icon.availableSizes().size(), static_cast<qsizetype>(std::size(app::icon_sizes)));
        for (int size : app::icon_sizes) {
            QVERIFY2(icon.availableSizes().contains(QSize(size, size)),
                     qPrintable(QStringLiteral("no %1 px icon").arg(size)));
            const QPixmap pixmap(QStringLiteral(":/icons/%1.png").arg(size));
            QCOMPARE(pixmap.size(), QSize(size, size));
            // Opaque in the middle (the drawing), clear in the corner (its rounding).
            const QImage image = pixmap.toImage();
            QCOMPARE(qAlpha(image.pixel(size / 2, size / 2)), 255);
            QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        }

        // The main window takes the icon and keeps its fixed caption.
        harvest::HarvestStore store;
        testsupport::AnsweringDialogs dialogs;
        app::MainWindow window(store, dialogs);
        QCOMPARE(window.windowTitle(), app::main_window_caption());
        QCOMPARE(window.windowIcon().availableSizes(), icon.availableSizes());
    }
};

int main(int argc, char* argv[]) {
    return run_qt_test<StartTest>(argc, argv);
}

#include "start_test.moc"
