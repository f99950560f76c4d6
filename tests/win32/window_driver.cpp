// Drives the Win32 main window from another process, as a user would: finds
// its controls by ID, checks them against the control table, types seeds,
// ticks and clicks, answers message boxes and the save dialog, closes the
// window and takes a picture of it. Run under the same Wine (or Windows) as
// the window; every step prints JSON lines (UTF-8) on standard output for the
// test that strings the steps together.
//
//   quorvel_window_driver.exe STEP [STEP...]
//     wait SECONDS        wait for the main window to appear (first step by default: 30)
//     controls            every control of the table: class, text, place, size, style
//     seeds FILE          the seed box's text from a UTF-8 file (LF or CR LF lines)
//     tick NAMES          ticks these check boxes (comma-separated names), clicking
//     untick NAMES        clears them, clicking
//     answer ok|cancel|yes|no|quiet   how later message boxes are answered (default
//                         ok; quiet: ticks the box's check box, then OK)
//     harvest SECONDS     clicks 搜索 and waits until 搜索 is enabled again, answering
//                         message boxes meanwhile
//     start-harvest       clicks 搜索 and returns once it is disabled (the run is on)
//     stop SECONDS        clicks 停止 and waits until 搜索 is enabled again
//     await-message SECONDS   waits for a message box and answers it
//     wait-idle SECONDS   waits until a run the window started itself has ended
//     sleep MILLISECONDS  waits that long
//     boxes               the texts of the seed box, the result boxes and the progress
//                         line, and the progress bar's position and maximum
//     export PATH         clicks 导出结果, gives the save dialog PATH, confirms, answers
//                         the messages that follow until 导出结果 is enabled again
//     sign-in FILE        clicks 登录淘宝, pastes the UTF-8 text of FILE into the
//                         dialog's box, presses 确定 and answers the message that
//                         follows; presses 取消 when the dialog stays open
//     sign-in-file PATH   the same with the dialog's cookie-file button and PATH
//                         given to the open dialog
//     sign-in-picture FILE    the sign-in dialog's pixels as a PNG; then 取消
//     check-connection SECONDS   clicks 设置 and 检测连接, reports the lines once
//                         they are in, and cancels the dialog
//     parallel N          clicks 设置, reports 同时请求数, presses 确定 with 9 in it
//                         (answering the refusal), then with N
//     sign-out            clicks 退出登录
//     word-table TERMS    clicks 词表, waits for the word-table window and its roots
//                         pane, reports its count line and first rows, types TERMS
//                         into 包含 and reports them again, and what 复制所选 puts
//                         on the clipboard with every row selected, with why there
//                         are no roots (or how many there are); then closes that
//                         window
//     close               WM_CLOSE; times until the window is gone and its process ended
//     screenshot FILE     the window's pixels as a PNG
//
// Exit status: 0 when every step went through, 1 when `controls` found a
// mismatch, 2 when a step could not go on (its "error" line says why).

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "shell/control_table.h"
#include "tests/support/command_line_windows.h"
#include "win32/settings.h"
#include "win32/sign_in_dialog.h"
#include "win32/wide_text.h"
#include "win32/word_table_window.h"

namespace {

using quorvel::shell::ControlEntry;
using quorvel::shell::ControlKind;
using quorvel::win32::utf8_from_wide;
using quorvel::win32::wide_from_utf8;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int first_control_id = 1000;
// How long a message sent to the window may wait for its answer.
constexpr UINT answer_limit_ms = 10000;
constexpr int message_text_id = 0xFFFF;  // the static text of a MessageBox
constexpr int file_name_combo_id = 0x47C;
constexpr int file_name_edit_id = 0x480;
constexpr int file_type_combo_id = 0x470;

void emit(const nlohmann::json& event) {
    std::string line = event.dump() + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

// A step that cannot go on: reported, and the driver exits with status 2.
[[noreturn]] void fail(const std::string& step, const std::string& what) {
    emit({{"event", "error"}, {"step", step}, {"what", what}});
    std::exit(2);
}

std::string class_of(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return utf8_from_wide(name);
}

// A window's text through WM_GETTEXT, as another process reads it.
std::string text_of(HWND window) {
    DWORD_PTR length = 0;
    if (SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, answer_limit_ms,
                            &length) == 0) {
        return "<no answer>";
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                            SMTO_NORMAL, answer_limit_ms, &copied) == 0) {
        return "<no answer>";
    }
    text.resize(copied);
    return utf8_from_wide(text);
}

double milliseconds_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool lower_equal(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// Every window below `parent`, at any depth.
std::vector<HWND> descendants(HWND parent) {
    std::vector<HWND> found;
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM list) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// The visible dialogs ("#32770") of a process, in Z order.
std::vector<HWND> dialogs_of(DWORD process) {
    struct Search {
        DWORD process;
        std::vector<HWND> found;
    } search{process, {}};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->process && IsWindowVisible(window) && class_of(window) == "#32770") {
                s->found.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct Rect {
    int x, y, width, height;
};

// A window's place in the client area of `window`.
Rect place_in(HWND control, HWND window) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::string rect_text(const Rect& r) {
    return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
           std::to_string(r.height);
}

// The Win32 class each kind of control is expected to be; empty: any (the panel).
std::string_view expected_class(ControlKind kind) {
    switch (kind) {
        case ControlKind::panel:
            return {};
        case ControlKind::label:
        case ControlKind::progress_line:
            return "Static";
        case ControlKind::seed_box:
            return "RichEdit50W";
        case ControlKind::button:
        case ControlKind::check_box:
            return "Button";
        case ControlKind::result_box:
            return "Edit";
        case ControlKind::progress_bar:
            return "msctls_progress32";
    }
    return {};
}

// Kinds whose window text is their caption in the table.
bool has_caption(ControlKind kind) {
    return kind == ControlKind::label || kind == ControlKind::button ||
           kind == ControlKind::check_box;
}

std::string file_text(const std::string& file, const std::string& step) {
    std::ifstream in(std::filesystem::path(wide_from_utf8(file)), std::ios::binary);
    if (!in) {
        fail(step, "cannot read " + file);
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Lines as a user types them into a Windows edit box: CR LF.
std::string crlf_lines(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c != '\r') {
            out += c == '\n' ? std::string("\r\n") : std::string(1, c);
        }
    }
    return out;
}

// Memory in another process, for messages whose pointers are read in the
// receiving window's own process (the list view's).
class RemoteMemory {
  public:
    RemoteMemory(DWORD process_id, std::size_t size)
        : process_(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                               process_id)) {
        if (process_ != nullptr) {
            memory_ = static_cast<char*>(
                VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        }
        if (memory_ == nullptr) {
            fail("word-table", "cannot place memory in the window's process");
        }
    }
    ~RemoteMemory() {
        VirtualFreeEx(process_, memory_, 0, MEM_RELEASE);
        CloseHandle(process_);
    }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    char* at(std::size_t offset) const { return memory_ + offset; }
    bool write(const void* data, std::size_t size) const {
        return WriteProcessMemory(process_, memory_, data, size, nullptr) != 0;
    }
    bool read(void* data, std::size_t size, std::size_t offset) const {
        return ReadProcessMemory(process_, memory_ + offset, data, size, nullptr) != 0;
    }

  private:
    HANDLE process_;
    char* memory_ = nullptr;
};

class Driver {
  public:
    void wait_for_window(std::chrono::milliseconds limit) {
        const auto start = Clock::now();
        while ((window_ = FindWindowW(L"QuorvelMainWindow", nullptr)) == nullptr ||
               !IsWindowVisible(window_)) {
            if (Clock::now() - start > limit) {
                fail("wait", "no visible window of class QuorvelMainWindow");
            }
            std::this_thread::sleep_for(20ms);
        }
        GetWindowThreadProcessId(window_, &process_);
        // Shown is not yet answering: a first start in a fresh Wine prefix
        // keeps its thread busy for seconds after the window appears.
        DWORD_PTR ignored = 0;
        if (SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL,
                                static_cast<UINT>(limit.count()), &ignored) == 0) {
            fail("wait", "the window does not answer messages");
        }
        emit({{"event", "window"}, {"waited_ms", milliseconds_since(start)}});
    }

    // Every control of the table against the window as built.
    int check_controls() {
        int mismatches = 0;
        auto mismatch = [&](std::string_view control, std::string_view what,
                            const std::string& expected, const std::string& actual) {
            ++mismatches;
            emit({{"event", "mismatch"},
                  {"control", control},
                  {"what", what},
                  {"expected", expected},
                  {"actual", actual}});
        };
        if (class_of(window_) != "QuorvelMainWindow") {
            mismatch("window", "class", "QuorvelMainWindow", class_of(window_));
        }
        const std::string caption = quorvel::shell::main_window_caption();
        if (text_of(window_) != caption) {
            mismatch("window", "caption", caption, text_of(window_));
        }
        RECT client{};
        GetClientRect(window_, &client);
        const auto& place = quorvel::shell::main_window_place;
        if (client.right != place.width || client.bottom != place.height) {
            mismatch("window", "client size", rect_text({0, 0, place.width, place.height}),
                     rect_text({0, 0, client.right, client.bottom}));
        }

        const auto table = quorvel::shell::main_window_controls();
        int checked = 0;
        for (std::size_t i = 0; i < table.size(); ++i) {
            const ControlEntry& entry = table[i];
            HWND control = find(static_cast<int>(i));
            ++checked;
            if (control == nullptr) {
                mismatch(entry.name, "exists", "ID " + std::to_string(first_control_id + i),
                         "none");
                continue;
            }
            const std::string_view kind_class = expected_class(entry.kind);
            if (!kind_class.empty() && !lower_equal(class_of(control), kind_class)) {
                mismatch(entry.name, "class", std::string(kind_class), class_of(control));
            }
            // A label without a caption in the table shows a state of the window's.
            if (has_caption(entry.kind) && !entry.caption.empty() &&
                text_of(control) != entry.caption) {
                mismatch(entry.name, "text", std::string(entry.caption), text_of(control));
            }
            Rect expected{entry.place.x, entry.place.y, entry.place.width, entry.place.height};
            if (!entry.parent.empty()) {
                const ControlEntry* parent = quorvel::shell::find_control(entry.parent);
                expected.x += parent->place.x;
                expected.y += parent->place.y;
            }
            const Rect actual = place_in(control, window_);
            if (rect_text(actual) != rect_text(expected)) {
                mismatch(entry.name, "place", rect_text(expected), rect_text(actual));
            }
            if (!IsWindowVisible(control)) {
                mismatch(entry.name, "visible", "yes", "no");
            }
            if (std::string problem = style_problem(entry.kind, control); !problem.empty()) {
                mismatch(entry.name, "style", "", problem);
            }
        }
        emit({{"event", "controls"}, {"checked", checked}, {"mismatches", mismatches}});
        return mismatches;
    }

    void set_seeds(const std::string& file) {
        const std::string text = crlf_lines(file_text(file, "seeds"));
        HWND box = nullptr;
        for (const ControlEntry& entry : quorvel::shell::main_window_controls()) {
            if (entry.kind == ControlKind::seed_box) {
                box = named(entry.name, "seeds");
            }
        }
        const std::wstring w = wide_from_utf8(text);
        DWORD_PTR ignored = 0;
        if (SendMessageTimeoutW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(w.c_str()),
                                SMTO_NORMAL, answer_limit_ms, &ignored) == 0) {
            fail("seeds", "the seed box did not take the text");
        }
        // Read back without its line ends, which a rich edit box may keep as CR alone.
        auto without_line_ends = [](std::string t) {
            std::erase_if(t, [](char c) { return c == '\r' || c == '\n'; });
            return t;
        };
        if (without_line_ends(text_of(box)) != without_line_ends(text)) {
            fail("seeds", "the seed box holds \"" + text_of(box) + "\" after it was set");
        }
        emit({{"event", "seeds"}, {"lines", std::count(text.begin(), text.end(), '\n')}});
    }

    // Clicks each named check box whose state differs from `on`.
    void tick(const std::string& names, bool on) {
        std::stringstream list(names);
        for (std::string name; std::getline(list, name, ',');) {
            HWND box = named(name, "tick");
            if ((SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED) != on) {
                click(box, name);
            }
            const bool now = SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
            emit({{"event", "tick"}, {"control", name}, {"checked", now}});
            if (now != on) {
                fail("tick", name + " did not change when clicked");
            }
        }
    }

    void set_answer(const std::string& answer) {
        silence_ = answer == "quiet";
        if (answer == "ok" || answer == "quiet") {
            answer_ = IDOK;
        } else if (answer == "cancel") {
            answer_ = IDCANCEL;
        } else if (answer == "yes") {
            answer_ = IDYES;
        } else if (answer == "no") {
            answer_ = IDNO;
        } else {
            fail("answer", "unknown answer " + answer);
        }
    }

    // Clicks 搜索; with a limit, waits until the harvest has ended, and
    // otherwise until it shows as running.
    void harvest(std::optional<std::chrono::milliseconds> limit) {
        HWND search = named(quorvel::shell::search_button, "harvest");
        if (!IsWindowEnabled(search)) {
            fail("harvest", "搜索 is disabled before the click");
        }
        const auto start = Clock::now();
        const bool handled = click(search, std::string(quorvel::shell::search_button));
        if (!limit) {
            // Until 搜索 is locked, or a message box stands in the way.
            while (IsWindowEnabled(search) && dialogs_of(process_).empty()) {
                if (Clock::now() - start > 10s) {
                    fail("start-harvest", "搜索 was not disabled after the click");
                }
                std::this_thread::sleep_for(2ms);
            }
            emit({{"event", "started"}});
            return;
        }
        wait_idle("harvest", start, *limit, handled);
    }

    // Clicks 停止 while a harvest runs and waits until the window is idle.
    void stop(std::chrono::milliseconds limit) {
        HWND button = named(quorvel::shell::stop_button, "stop");
        if (!IsWindowEnabled(button)) {
            fail("stop", "停止 is disabled during the harvest");
        }
        const auto start = Clock::now();
        click(button, std::string(quorvel::shell::stop_button));
        // The click returns once handled, and the run may have ended by then:
        // 搜索 need not be seen locked again (停止 was enabled, so a harvest ran).
        wait_idle("stop", start, limit, true);
    }

    // Waits for the next message box and answers it; the box answered.
    HWND await_message(std::chrono::milliseconds limit) {
        const auto start = Clock::now();
        for (;;) {
            for (HWND dialog : dialogs_of(process_)) {
                if (handled_.count(dialog) == 0 && file_name_box(dialog) == nullptr) {
                    answer_message(dialog, "await-message");
                    return dialog;
                }
            }
            if (Clock::now() - start > limit) {
                fail("await-message", "no message box appeared");
            }
            std::this_thread::sleep_for(10ms);
        }
    }

    // Waits for a run the window started by itself to end.
    void wait_idle(std::chrono::milliseconds limit) {
        wait_idle("wait-idle", Clock::now(), limit, false);
    }

    void boxes() {
        nlohmann::json event = {{"event", "boxes"}};
        const auto table = quorvel::shell::main_window_controls();
        for (std::size_t i = 0; i < table.size(); ++i) {
            const ControlEntry& entry = table[i];
            if (entry.kind == ControlKind::result_box || entry.kind == ControlKind::seed_box ||
                entry.kind == ControlKind::progress_line) {
                HWND control = find(static_cast<int>(i));
                event[std::string(entry.name)] = control ? text_of(control) : "<missing>";
            }
            if (entry.kind == ControlKind::progress_bar) {
                if (HWND bar = find(static_cast<int>(i))) {
                    event["progress_position"] = SendMessageW(bar, PBM_GETPOS, 0, 0);
                    event["progress_maximum"] = SendMessageW(bar, PBM_GETRANGE, FALSE, 0);
                }
            }
        }
        emit(event);
    }

    void export_to(const std::string& path) {
        HWND button = named(quorvel::shell::export_button, "export");
        if (!IsWindowEnabled(button)) {
            fail("export", "导出结果 is disabled");
        }
        const auto start = Clock::now();
        click(button, std::string(quorvel::shell::export_button));
        // The save dialog, then whatever the export says.
        HWND dialog = nullptr;
        while (dialog == nullptr) {
            for (HWND d : dialogs_of(process_)) {
                if (file_name_box(d) != nullptr) {
                    dialog = d;
                } else if (handled_.count(d) == 0) {
                    answer_message(d, "export");
                }
            }
            if (Clock::now() - start > 20s) {
                fail("export", "no save dialog appeared");
            }
            std::this_thread::sleep_for(10ms);
        }
        nlohmann::json seen = {{"event", "save_dialog"}, {"caption", text_of(dialog)}};
        if (HWND types = GetDlgItem(dialog, file_type_combo_id)) {
            seen["types"] = combo_items(types);
        }
        emit(seen);
        handled_.insert(dialog);
        const std::wstring name = wide_from_utf8(path);
        HWND box = file_name_box(dialog);
        SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
        press(dialog, IDOK);
        const auto end = Clock::now() + 30s;
        for (;;) {
            answer_dialogs("export");
            if (IsWindowEnabled(button) && dialogs_of(process_).empty() && !IsWindow(dialog)) {
                break;
            }
            if (Clock::now() > end) {
                fail("export", "导出结果 was not enabled again");
            }
            std::this_thread::sleep_for(10ms);
        }
        emit({{"event", "export"}, {"ms", milliseconds_since(start)}});
    }

    // WM_CLOSE, then the time until the window is gone and until its process
    // has ended, each from the moment the message was posted.
    void close() {
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, process_);
        const auto start = Clock::now();
        PostMessageW(window_, WM_CLOSE, 0, 0);
        while (IsWindow(window_)) {
            if (Clock::now() - start > 20s) {
                fail("close", "the window is still there 20 s after WM_CLOSE");
            }
            std::this_thread::sleep_for(1ms);
        }
        const auto gone = Clock::now();
        nlohmann::json event = {
            {"event", "close"},
            {"window_gone_ms", std::chrono::duration<double, std::milli>(gone - start).count()}};
        if (process != nullptr) {
            const bool ended = WaitForSingleObject(process, 20000) == WAIT_OBJECT_0;
            event["process_exit_ms"] = milliseconds_since(start);
            event["process_ended"] = ended;
            DWORD code = 0;
            GetExitCodeProcess(process, &code);
            event["exit_code"] = code;
            CloseHandle(process);
        }
        emit(event);
    }

    // Clicks 登录淘宝 and returns its dialog.
    HWND open_sign_in(const std::string& step) {
        click(named(quorvel::shell::sign_in_button, step), step);
        const auto start = Clock::now();
        for (;;) {
            for (HWND d : dialogs_of(process_)) {
                if (GetDlgItem(d, quorvel::win32::sign_in_text_id) != nullptr) {
                    handled_.insert(d);
                    return d;
                }
            }
            if (Clock::now() - start > 10s) {
                fail(step, "no sign-in dialog appeared");
            }
            std::this_thread::sleep_for(10ms);
        }
    }

    // Pastes the text of `file` into the sign-in dialog and presses 确定.
    void sign_in(const std::string& file) {
        const std::string text = crlf_lines(file_text(file, "sign-in"));
        HWND dialog = open_sign_in("sign-in");
        const std::wstring w = wide_from_utf8(text);
        SendMessageW(GetDlgItem(dialog, quorvel::win32::sign_in_text_id), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(w.c_str()));
        press(dialog, IDOK);
        finish_sign_in(dialog, "sign-in");
    }

    // Chooses `path` with the sign-in dialog's cookie-file button.
    void sign_in_file(const std::string& path) {
        HWND dialog = open_sign_in("sign-in-file");
        press(dialog, quorvel::win32::sign_in_file_id);
        const auto start = Clock::now();
        HWND chooser = nullptr;
        while (chooser == nullptr) {
            for (HWND d : dialogs_of(process_)) {
                if (handled_.count(d) == 0 && file_name_box(d) != nullptr) {
                    chooser = d;
                }
            }
            if (Clock::now() - start > 20s) {
                fail("sign-in-file", "no file dialog appeared");
            }
            std::this_thread::sleep_for(10ms);
        }
        handled_.insert(chooser);
        emit({{"event", "open_dialog"}, {"caption", text_of(chooser)}});
        const std::wstring name = wide_from_utf8(path);
        SendMessageW(file_name_box(chooser), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
        press(chooser, IDOK);
        finish_sign_in(dialog, "sign-in-file");
    }

    // A picture of the sign-in dialog, which is then cancelled.
    void sign_in_picture(const std::string& file) {
        HWND dialog = open_sign_in("sign-in-picture");
        screenshot(file, dialog);
        press(dialog, IDCANCEL);
        finish_sign_in(dialog, "sign-in-picture");
    }

    // Clicks 设置 and returns its dialog.
    HWND open_settings(const std::string& step) {
        click(named(quorvel::shell::settings_button, step), step);
        const auto start = Clock::now();
        for (;;) {
            for (HWND d : dialogs_of(process_)) {
                if (GetDlgItem(d, quorvel::win32::settings_check_id) != nullptr) {
                    handled_.insert(d);
                    return d;
                }
            }
            if (Clock::now() - start > 10s) {
                fail(step, "no settings dialog appeared");
            }
            std::this_thread::sleep_for(10ms);
        }
    }

    // Clicks 设置, then 检测连接, and reports the lines the dialog shows
    // once the check has ended; cancels the dialog.
    void check_connection(std::chrono::milliseconds limit) {
        const auto start = Clock::now();
        HWND dialog = open_settings("check-connection");
        HWND button = GetDlgItem(dialog, quorvel::win32::settings_check_id);
        press(dialog, quorvel::win32::settings_check_id);
        std::string lines;
        while (lines.rfind("pc: ", 0) != 0) {
            if (Clock::now() - start > limit) {
                fail("check-connection", "no lines after " + std::to_string(limit.count()) + " ms");
            }
            std::this_thread::sleep_for(20ms);
            lines = text_of(GetDlgItem(dialog, quorvel::win32::settings_check_lines_id));
        }
        emit({{"event", "check-connection"},
              {"lines", lines},
              {"button_enabled", IsWindowEnabled(button) != FALSE}});
        press(dialog, IDCANCEL);
        await_gone(dialog, "check-connection", 10s, "the settings dialog did not close on 取消");
    }

    // Reports the dialog's 同时请求数, then presses 确定 with 9 there (out of
    // range: a message, the dialog stays) and with `value`.
    void set_parallel(const std::string& value) {
        const std::string step = "parallel";
        HWND dialog = open_settings(step);
        HWND edit = GetDlgItem(dialog, quorvel::win32::settings_parallel_id);
        const std::string before = text_of(edit);
        auto press_ok = [&](const wchar_t* text) {
            SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
            press(dialog, IDOK);
        };
        press_ok(L"9");
        await_gone(await_message(10s), step, 10s, "the message box did not close");
        const bool stayed_open = IsWindow(dialog) != FALSE;
        press_ok(wide_from_utf8(value).c_str());
        await_gone(dialog, step, 10s, "the settings dialog did not close on 确定");
        emit({{"event", step}, {"before", before}, {"stayed_open", stayed_open}});
    }

    void sign_out() {
        const std::string before = text_of(named(quorvel::shell::sign_in_state, "sign-out"));
        click(named(quorvel::shell::sign_out_button, "sign-out"), "sign-out");
        emit_session("sign-out", {{"before", before}});
    }

    // Clicks 词表 and works the word-table window that opens.
    void word_table(const std::string& terms) {
        const std::string step = "word-table";
        click(named(quorvel::shell::word_table_button, step), step);
        const auto start = Clock::now();
        HWND table = nullptr;
        while ((table = top_window_of(quorvel::win32::word_table_window_class)) == nullptr) {
            if (!dialogs_of(process_).empty()) {
                answer_dialogs(step);
                fail(step, "a message box came instead of the word table");
            }
            if (Clock::now() - start > 10s) {
                fail(step, "no word-table window appeared");
            }
            std::this_thread::sleep_for(10ms);
        }
        HWND roots = GetDlgItem(table, quorvel::win32::word_roots_list_id);
        HWND note = GetDlgItem(table, quorvel::win32::word_roots_note_id);
        // The roots are cut once the window is up.
        while (!IsWindowVisible(note) && ListView_GetItemCount(roots) == 0) {
            if (Clock::now() - start > 30s) {
                fail(step, "the roots pane shows neither roots nor why there are none");
            }
            std::this_thread::sleep_for(10ms);
        }
        nlohmann::json event = {{"event", step}, {"title", text_of(table)}};
        event["before"] = shown_words(table);
        const std::wstring typed = wide_from_utf8(terms);
        SendMessageW(GetDlgItem(table, quorvel::win32::word_include_id), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(typed.c_str()));
        event["after"] = shown_words(table);
        // Every shown row selected and copied with 复制所选.
        clear_clipboard();
        select_all(GetDlgItem(table, quorvel::win32::word_list_id));
        click(GetDlgItem(table, quorvel::win32::word_copy_id), "copy");
        event["copied"] = clipboard_text();
        event["roots_note"] = IsWindowVisible(note) ? text_of(note) : "";
        event["roots"] = ListView_GetItemCount(roots);
        PostMessageW(table, WM_CLOSE, 0, 0);
        await_gone(table, step, 40s, "the word-table window did not close");
        emit(event);
    }

    void screenshot(const std::string& file, HWND shown = nullptr);

  private:
    // A visible top-level window of this class in the window's process.
    HWND top_window_of(const wchar_t* kind) const {
        for (HWND found = FindWindowExW(nullptr, nullptr, kind, nullptr); found != nullptr;
             found = FindWindowExW(nullptr, found, kind, nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(found, &owner);
            if (owner == process_ && IsWindowVisible(found)) {
                return found;
            }
        }
        return nullptr;
    }

    // The word table's count line and the cells of its first rows.
    nlohmann::json shown_words(HWND table) const {
        HWND list = GetDlgItem(table, quorvel::win32::word_list_id);
        const int rows = std::min(ListView_GetItemCount(list), 5);
        nlohmann::json cells = nlohmann::json::array();
        for (int row = 0; row < rows; ++row) {
            std::vector<std::string> line;
            for (int column = 0; column < static_cast<int>(quorvel::research::column_count);
                 ++column) {
                line.push_back(item_text(list, row, column));
            }
            cells.push_back(line);
        }
        return {{"count_line", text_of(GetDlgItem(table, quorvel::win32::word_count_line_id))},
                {"rows", ListView_GetItemCount(list)},
                {"cells", cells}};
    }

    // A list view's cell, read as another process must: LVM_GETITEMTEXTW
    // takes pointers into the list's own process, so the item and its text
    // are placed there.
    std::string item_text(HWND list, int row, int column) const {
        constexpr std::size_t room = 1024;  // characters
        RemoteMemory remote(process_, sizeof(LVITEMW) + room * sizeof(wchar_t));
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iSubItem = column;
        item.pszText = reinterpret_cast<wchar_t*>(remote.at(sizeof(LVITEMW)));
        item.cchTextMax = static_cast<int>(room);
        std::wstring text(room, L'\0');
        DWORD_PTR length = 0;
        const bool read =
            remote.write(&item, sizeof item) &&
            SendMessageTimeoutW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                                reinterpret_cast<LPARAM>(remote.at(0)), SMTO_NORMAL,
                                answer_limit_ms, &length) != 0 &&
            (length == 0 ||
             remote.read(text.data(), std::min<std::size_t>(length, room) * sizeof(wchar_t),
                         sizeof(LVITEMW)));
        if (!read) {
            fail("word-table", "cannot read a cell of the word list");
        }
        text.resize(std::min<std::size_t>(length, room));
        return utf8_from_wide(text);
    }

    // Selects every row of a list view (LVM_SETITEMSTATE, its item placed
    // in the list's process).
    void select_all(HWND list) const {
        RemoteMemory remote(process_, sizeof(LVITEMW));
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED;
        item.state = LVIS_SELECTED;
        DWORD_PTR ignored = 0;
        if (!remote.write(&item, sizeof item) ||
            SendMessageTimeoutW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                                reinterpret_cast<LPARAM>(remote.at(0)), SMTO_NORMAL,
                                answer_limit_ms, &ignored) == 0) {
            fail("word-table", "cannot select the word list's rows");
        }
    }

    // The clipboard's text, emptied first by clear_clipboard.
    static void clear_clipboard() {
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();
            CloseClipboard();
        }
    }
    static std::string clipboard_text() {
        std::wstring text;
        if (OpenClipboard(nullptr)) {
            if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
                if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
                    text = chars;
                    GlobalUnlock(data);
                }
            }
            CloseClipboard();
        }
        return utf8_from_wide(text);
    }

    // Answers the message that follows a sign-in; the dialog closes after a
    // session was taken, or stays for another try and is cancelled.
    void finish_sign_in(HWND dialog, const std::string& step) {
        const std::string caption = text_of(dialog);
        if (step != "sign-in-picture") {
            await_message(10s);
        }
        const auto answered = Clock::now();
        while (IsWindow(dialog) && Clock::now() - answered < 2s) {
            std::this_thread::sleep_for(10ms);
        }
        const bool closed = !IsWindow(dialog);
        if (!closed) {
            press(dialog, IDCANCEL);
            await_gone(dialog, step, 10s, "the dialog did not close on 取消");
        }
        emit_session(step, {{"caption", caption}, {"closed_by_ok", closed}});
    }

    // The step's event with the sign-in state the window shows.
    void emit_session(const std::string& step, nlohmann::json event) {
        event["event"] = step;
        event["state"] = text_of(named(quorvel::shell::sign_in_state, step));
        event["sign_out_enabled"] =
            IsWindowEnabled(named(quorvel::shell::sign_out_button, step)) != FALSE;
        emit(event);
    }

    HWND find(int index) const {
        for (HWND child : descendants(window_)) {
            if (GetDlgCtrlID(child) == first_control_id + index) {
                return child;
            }
        }
        return nullptr;
    }

    HWND named(std::string_view name, const std::string& step) const {
        const auto table = quorvel::shell::main_window_controls();
        for (std::size_t i = 0; i < table.size(); ++i) {
            if (table[i].name == name) {
                if (HWND control = find(static_cast<int>(i))) {
                    return control;
                }
                fail(step, "no control " + std::string(name) + " in the window");
            }
        }
        fail(step, "no control " + std::string(name) + " in the table");
    }

    // Presses the button `id` of `dialog`, as a click on it does.
    static void press(HWND dialog, int id) {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    }

    // Until `window` is gone; the step fails with `what` after `limit`.
    static void await_gone(HWND window, const std::string& step, std::chrono::milliseconds limit,
                           const std::string& what) {
        const auto start = Clock::now();
        while (IsWindow(window)) {
            if (Clock::now() - start > limit) {
                fail(step, what);
            }
            std::this_thread::sleep_for(10ms);
        }
    }

    // A click as the mouse gives it. Returns whether the window had handled
    // it within a short time: not when the click opened a modal dialog.
    bool click(HWND button, const std::string& name) {
        DWORD_PTR ignored = 0;
        const bool handled =
            SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, 500, &ignored) != 0;
        emit({{"event", "click"}, {"control", name}, {"returned", handled}});
        return handled;
    }

    // Until the window is idle again (搜索 and 导出结果 enabled, 停止 not:
    // the window sets them one after another) with no message box left open,
    // answering message boxes meanwhile. 搜索 must have been seen locked
    // first unless the click that started the run had been handled when it
    // returned.
    void wait_idle(const std::string& step, Clock::time_point start,
                   std::chrono::milliseconds limit, bool click_handled) {
        HWND search = named(quorvel::shell::search_button, step);
        HWND export_button = named(quorvel::shell::export_button, step);
        HWND stop_button = named(quorvel::shell::stop_button, step);
        bool seen_disabled = !IsWindowEnabled(search);
        for (;;) {
            answer_dialogs(step);
            const bool enabled = IsWindowEnabled(search);
            seen_disabled = seen_disabled || !enabled;
            const bool idle =
                enabled && IsWindowEnabled(export_button) && !IsWindowEnabled(stop_button);
            if (idle && (click_handled || seen_disabled) && dialogs_of(process_).empty()) {
                break;
            }
            if (Clock::now() - start > limit) {
                // Whether the window's thread still answers tells a hang from
                // a run whose end never reached the window.
                DWORD_PTR ignored = 0;
                const bool answers = SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG,
                                                         5000, &ignored) != 0;
                fail(step, std::string("the window is not idle again within the limit (搜索 ") +
                               (enabled ? "enabled" : "locked") + ", 导出结果 " +
                               (IsWindowEnabled(export_button) ? "enabled" : "locked") + ", 停止 " +
                               (IsWindowEnabled(stop_button) ? "enabled" : "locked") + ", " +
                               std::to_string(dialogs_of(process_).size()) +
                               " dialogs open; the window " +
                               (answers ? "answers messages" : "does not answer messages") + ")");
            }
            std::this_thread::sleep_for(5ms);
        }
        emit({{"event", step},
              {"ms", milliseconds_since(start)},
              {"search_disabled_seen", seen_disabled}});
    }

    static std::string style_problem(ControlKind kind, HWND control) {
        const auto style = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE));
        const DWORD type = style & BS_TYPEMASK;
        switch (kind) {
            case ControlKind::button:
                if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON) {
                    return "not a push button";
                }
                break;
            case ControlKind::check_box:
                if (type != BS_CHECKBOX && type != BS_AUTOCHECKBOX) {
                    return "not a check box";
                }
                break;
            case ControlKind::result_box:
                if ((style & ES_MULTILINE) == 0 || (style & WS_VSCROLL) == 0 ||
                    (style & WS_HSCROLL) == 0) {
                    return "not multi-line with both scroll bars";
                }
                break;
            case ControlKind::seed_box:
                if ((style & ES_MULTILINE) == 0) {
                    return "not multi-line";
                }
                break;
            default:
                break;
        }
        return {};
    }

    static HWND file_name_box(HWND dialog) {
        if (HWND combo = GetDlgItem(dialog, file_name_combo_id)) {
            return combo;
        }
        return GetDlgItem(dialog, file_name_edit_id);
    }

    static std::vector<std::string> combo_items(HWND combo) {
        std::vector<std::string> items;
        const auto count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            std::wstring item(
                static_cast<std::size_t>(SendMessageW(combo, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
            item.resize(static_cast<std::size_t>(
                SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()))));
            items.push_back(utf8_from_wide(item));
        }
        return items;
    }

    // Answers every message box now open that was not answered yet.
    void answer_dialogs(const std::string& step) {
        for (HWND dialog : dialogs_of(process_)) {
            if (handled_.count(dialog) != 0) {
                continue;
            }
            if (file_name_box(dialog) != nullptr) {
                emit({{"event", "unexpected_save_dialog"}, {"step", step}});
                handled_.insert(dialog);
                PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                continue;
            }
            answer_message(dialog, step);
        }
    }

    // Reports a message box (its caption, text, buttons and check boxes, and
    // whether 搜索 and 导出结果 were enabled while it was up), then presses
    // the button of the chosen answer, or the only one there is.
    void answer_message(HWND dialog, const std::string& step) {
        handled_.insert(dialog);
        // The box may still be filling in when first seen.
        std::this_thread::sleep_for(30ms);
        std::string text, statics;
        std::vector<std::string> buttons, checks;
        std::vector<int> ids;
        std::vector<HWND> check_windows;
        for (HWND child : descendants(dialog)) {
            const std::string cls = class_of(child);
            if (GetDlgCtrlID(child) == message_text_id && lower_equal(cls, "Static")) {
                text = text_of(child);
            } else if (lower_equal(cls, "Static") && IsWindowVisible(child)) {
                const std::string piece = text_of(child);
                statics += statics.empty() || piece.empty() ? piece : "\n" + piece;
            } else if (lower_equal(cls, "Button") && IsWindowVisible(child)) {
                const auto type = GetWindowLongPtrW(child, GWL_STYLE) & BS_TYPEMASK;
                if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX) {
                    checks.push_back(text_of(child));
                    check_windows.push_back(child);
                } else {
                    buttons.push_back(text_of(child));
                    ids.push_back(GetDlgCtrlID(child));
                }
            }
        }
        // A box of the window's own making may hold its text in any static.
        if (text.empty()) {
            text = statics;
        }
        nlohmann::json event = {
            {"event", "message"},
            {"step", step},
            {"caption", text_of(dialog)},
            {"text", text},
            {"buttons", buttons},
            {"check_boxes", checks},
            {"search_enabled",
             IsWindowEnabled(named(quorvel::shell::search_button, step)) != FALSE},
            {"export_enabled",
             IsWindowEnabled(named(quorvel::shell::export_button, step)) != FALSE}};
        if (silence_ && !check_windows.empty()) {
            for (HWND check : check_windows) {
                click(check, "check box");
            }
            event["silenced"] = std::all_of(check_windows.begin(), check_windows.end(), [](HWND c) {
                return SendMessageW(c, BM_GETCHECK, 0, 0) == BST_CHECKED;
            });
        }
        emit(event);
        int id = answer_;
        if (std::find(ids.begin(), ids.end(), id) == ids.end() && ids.size() == 1) {
            id = ids.front();
        }
        press(dialog, id);
    }

    HWND window_ = nullptr;
    DWORD process_ = 0;
    int answer_ = IDOK;
    bool silence_ = false;
    std::set<HWND> handled_;
};

// --- the picture ------------------------------------------------------------

void put_u32(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out += static_cast<char>((value >> shift) & 0xFF);
    }
}

void put_chunk(std::string& png, const char* type, const std::string& data) {
    put_u32(png, static_cast<std::uint32_t>(data.size()));
    std::string body = std::string(type, 4) + data;
    png += body;
    put_u32(png, static_cast<std::uint32_t>(
                     crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())));
}

// 8-bit RGB rows, each led by filter type 0, deflated.
std::string png_of(int width, int height, const std::vector<std::uint8_t>& bgra) {
    std::string raw;
    raw.reserve(static_cast<std::size_t>(height) * (1 + 3 * static_cast<std::size_t>(width)));
    for (int y = 0; y < height; ++y) {
        raw += '\0';
        for (int x = 0; x < width; ++x) {
            const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 4;
            raw += static_cast<char>(bgra[at + 2]);
            raw += static_cast<char>(bgra[at + 1]);
            raw += static_cast<char>(bgra[at]);
        }
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(size, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
              reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()), 9);
    packed.resize(size);
    std::string header;
    put_u32(header, static_cast<std::uint32_t>(width));
    put_u32(header, static_cast<std::uint32_t>(height));
    header += std::string("\x08\x02\x00\x00\x00", 5);
    std::string png = "\x89PNG\r\n\x1a\n";
    put_chunk(png, "IHDR", header);
    put_chunk(png, "IDAT", packed);
    put_chunk(png, "IEND", {});
    return png;
}

// The window as it stands on the screen, frame included, copied from the
// screen after it has been brought to the front and repainted.
void Driver::screenshot(const std::string& file, HWND shown) {
    if (shown == nullptr) {
        shown = window_;
    }
    SetForegroundWindow(shown);
    RedrawWindow(shown, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    std::this_thread::sleep_for(500ms);
    RECT r{};
    GetWindowRect(shown, &r);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const auto* first = static_cast<const std::uint8_t*>(bits);
    const std::vector<std::uint8_t> pixels(first,
                                           first + static_cast<std::size_t>(width) * height * 4);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    std::ofstream out(std::filesystem::path(wide_from_utf8(file)), std::ios::binary);
    const std::string png = png_of(width, height, pixels);
    out.write(png.data(), static_cast<std::streamsize>(png.size()));
    if (!out) {
        fail("screenshot", "cannot write " + file);
    }
    emit({{"event", "screenshot"}, {"width", width}, {"height", height}});
}

}  // namespace

int main() {
    const std::vector<std::string> args = quorvel::testsupport::utf8_arguments();

    Driver driver;
    std::size_t at = 0;
    auto operand = [&](const std::string& step) -> std::string {
        if (at >= args.size()) {
            fail(step, "needs an operand");
        }
        return args[at++];
    };
    bool found = false;
    int status = 0;
    while (at < args.size()) {
        const std::string step = args[at++];
        if (step == "wait") {
            driver.wait_for_window(std::chrono::seconds(std::stoi(operand(step))));
            found = true;
            continue;
        }
        if (!found) {
            driver.wait_for_window(30s);
            found = true;
        }
        if (step == "controls") {
            status = driver.check_controls() == 0 ? status : 1;
        } else if (step == "seeds") {
            driver.set_seeds(operand(step));
        } else if (step == "tick" || step == "untick") {
            driver.tick(operand(step), step == "tick");
        } else if (step == "answer") {
            driver.set_answer(operand(step));
        } else if (step == "harvest") {
            driver.harvest(std::chrono::seconds(std::stoi(operand(step))));
        } else if (step == "start-harvest") {
            driver.harvest(std::nullopt);
        } else if (step == "await-message") {
            driver.await_message(std::chrono::seconds(std::stoi(operand(step))));
        } else if (step == "wait-idle") {
            driver.wait_idle(std::chrono::seconds(std::stoi(operand(step))));
        } else if (step == "stop") {
            driver.stop(std::chrono::seconds(std::stoi(operand(step))));
        } else if (step == "sleep") {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(operand(step))));
        } else if (step == "boxes") {
            driver.boxes();
        } else if (step == "export") {
            driver.export_to(operand(step));
        } else if (step == "sign-in") {
            driver.sign_in(operand(step));
        } else if (step == "sign-in-file") {
            driver.sign_in_file(operand(step));
        } else if (step == "sign-in-picture") {
            driver.sign_in_picture(operand(step));
        } else if (step == "parallel") {
            driver.set_parallel(operand(step));
        } else if (step == "check-connection") {
            driver.check_connection(std::chrono::seconds(std::stoi(operand(step))));
        } else if (step == "sign-out") {
            driver.sign_out();
        } else if (step == "word-table") {
            driver.word_table(operand(step));
        } else if (step == "close") {
            driver.close();
        } else if (step == "screenshot") {
            driver.screenshot(operand(step));
        } else {
            fail(step, "unknown step");
        }
    }
    return status;
}
