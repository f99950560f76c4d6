// The window program's start: --version and --help answered before Qt, every
// other argument left to Qt.

#include <QTest>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/start_options.h"
#include "platform/version.h"
#include "tests/app/qt_test_main.h"

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
};

int main(int argc, char* argv[]) {
    return run_qt_test<StartTest>(argc, argv);
}

#include "start_test.moc"
