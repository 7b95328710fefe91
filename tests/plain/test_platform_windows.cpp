// The Windows platform layer on the system's own sources, run under Wine by
// scripts/test-windows.sh. The registry cases read keys the script imports
// from data/registry-fixtures.reg into a private prefix; the version cases
// read the resources of zentaro-cli.exe and of the fixture programs beside
// this one. Notepad, the text viewer, is not started here: Wine would run it
// without a display and this program could not end it again.
#include "about/versioninfo.h"
#include "platform/console.h"
#include "platform/coreentries.h"
#include "platform/datafolders.h"
#include "platform/files.h"
#include "platform/hypervisor.h"
#include "platform/machineidentity.h"
#include "platform/osdescription.h"
#include "platform/processortimes.h"
#include "platform/processortopology.h"
#include "platform/registry.h"
#include "platform/restart.h"
#include "platform/systeminfo.h"
#include "platform/textviewer.h"
#include "platform/userlanguage.h"
#include "platform/userlocale.h"
#include "platform/versionresource.h"
#include "platform/windows/clockspeed_windows.h"
#include "platform/windows/machineidentity_windows.h"
#include "platform/windows/registry_windows.h"
#include "platform/windows/restarter_windows.h"
#include "platform/windows/text_windows.h"
#include "sysinfo/processorinfo.h"
#include "tablerun.h"

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <objbase.h>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>
#include <windows.h>

using namespace zentaro;
using tablerun::Check;
namespace fs = std::filesystem;

namespace {

const std::string kStandIns = "Software\\Zentaro Tests\\";

std::string Beside(const std::string& name) {
    return platform::ExecutableFolder() + "\\" + name;
}

// A folder of its own under the system's temporary folder, removed at the end.
class TemporaryFolder {
public:
    TemporaryFolder() {
        path_ =
            fs::temp_directory_path() / ("zentaro-test-" + std::to_string(::GetCurrentProcessId()) +
                                         "-" + std::to_string(counter_++));
        fs::create_directories(path_);
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string utf8() const {
        const std::u8string text = path_.u8string();
        return std::string(text.begin(), text.end());
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
    static inline int counter_ = 0;
};

std::optional<std::string> Environment(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? std::optional<std::string>(value) : std::nullopt;
}

// ---- registry

void ProcessorKeysOfEveryShape(Check& check) {
    struct Row {
        const char* standIn;
        const char* name; // nullptr: the read throws
        const char* baseSpeed;
    };
    const Row rows[] = {
        // Blanks inside and around the name stay as stored.
        {"complete", "  Intel(R) Core(TM)  i7-9700 CPU @ 3.00GHz ", "3600 MHz"},
        // An expandable string is text too, and is not expanded; 0 MHz is a speed.
        {"expandable-name", "%PROCESSOR_ARCHITECTURE% CPU", "0 MHz"},
        {"empty-name", "", "Unknown"},
        // UTF-16 to UTF-8, and the whole unsigned 32-bit range.
        {"unicode-name",
         "Zentaro \xC3\x9Cn\xC3\xAF"
         "code\xE2\x84\xA2 CPU",
         "4294967295 MHz"},
        {"speed-only", "Unknown", "2100 MHz"},
        {"empty-key", "Unknown", "Unknown"},
        {"no-processor-key", "Unknown", "Unknown"},
        {"no-such-stand-in", "Unknown", "Unknown"},
        // Another type than the value needs: the read fails.
        {"name-is-number", nullptr, nullptr},
        {"name-is-list", nullptr, nullptr},
        {"speed-is-text", nullptr, nullptr},
        {"speed-is-qword", nullptr, nullptr},
        {"speed-is-binary", nullptr, nullptr},
        {"speed-too-short", nullptr, nullptr},
    };
    for (const Row& row : rows) {
        check.row(row.standIn);
        platform::windows_impl::WindowsRegistry registry(kStandIns + row.standIn);
        std::optional<sysinfo::CpuInfo> info;
        bool threw = false;
        try {
            info = sysinfo::GetCPUInfo(registry);
        } catch (const platform::RegistryError&) {
            threw = true;
        }
        if (!row.name) {
            CHECK(check, threw);
            continue;
        }
        CHECK(check, !threw);
        if (info) {
            CHECK_EQ(check, info->name, std::string(row.name));
            CHECK_EQ(check, info->baseSpeed, std::string(row.baseSpeed));
        }
    }
}

void RegistryKeyReads(Check& check) {
    platform::windows_impl::WindowsRegistry registry(kStandIns + "complete");
    // With and without the leading backslash; value names in any letter case.
    for (const char* path :
         {platform::kProcessorKeyPath, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0"}) {
        check.row(path);
        const auto key = registry.OpenKeyReadOnly(platform::RegistryRoot::LocalMachine, path);
        CHECK(check, key != nullptr);
        if (!key)
            continue;
        CHECK(check, key->ValueExists("processornamestring"));
        CHECK(check, !key->ValueExists("VendorIdentifier"));
        CHECK_EQ(check, key->ReadInteger("~mhz"), 3600u);
        bool threw = false;
        try {
            key->ReadString("VendorIdentifier");
        } catch (const platform::RegistryError&) {
            threw = true;
        }
        CHECK(check, threw);
    }
    check.row({});
    // Only the first processor's key exists in the fixture.
    CHECK(check, !registry.OpenKeyReadOnly(platform::RegistryRoot::LocalMachine,
                                           "\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\1"));
}

// The machine's own key, as the system fills it in.
void MachineProcessorKey(Check& check) {
    const auto registry = platform::CreateSystemRegistry();
    const auto key = registry->OpenKeyReadOnly(platform::RegistryRoot::LocalMachine,
                                               platform::kProcessorKeyPath);
    CHECK(check, key != nullptr);
    if (!key)
        return;
    CHECK(check, key->ValueExists("ProcessorNameString"));
    CHECK(check, key->ValueExists("~MHz"));
    const sysinfo::CpuInfo info = sysinfo::GetCPUInfo(*registry);
    CHECK(check, info.name != "Unknown");
    CHECK(check, info.baseSpeed.size() > 4 && info.baseSpeed.ends_with(" MHz"));
    if (const auto expected = Environment("ZENTARO_EXPECT_CPU_NAME"))
        CHECK_EQ(check, info.name, *expected);
}

// ---- basic system information

void SystemInformation(Check& check) {
    const platform::BasicSystemInfo basic = platform::CreateSystemInfo()->Basic();
    // A 64-bit program on an x86-64 machine.
    CHECK_EQ(check, basic.architecture, platform::kArchitectureAmd64);
    CHECK_EQ(check, sysinfo::ShowSystemCPUArchitecture(*platform::CreateSystemInfo()).architecture,
             std::string("x64"));
    if (const auto expected = Environment("ZENTARO_EXPECT_PROCESSORS"))
        CHECK_EQ(check, std::to_string(basic.logicalProcessors), *expected);
    CHECK(check, basic.logicalProcessors >= 1);
}

// ---- physical cores

// Lists of real core entries, as the system lays them out, walked by each
// entry's own size: a core's entry is smaller than the structure's full size.
void ProcessorCoreEntries(Check& check) {
    using Entry = SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX;
    const std::size_t coreSize = offsetof(Entry, Processor) +
                                 offsetof(PROCESSOR_RELATIONSHIP, GroupMask) +
                                 sizeof(GROUP_AFFINITY);
    CHECK_EQ(check, coreSize, std::size_t(48));
    CHECK(check, coreSize < sizeof(Entry));
    for (unsigned cores : {1u, 2u, 16u}) {
        check.row(std::to_string(cores) + " core entries");
        std::vector<unsigned char> list(coreSize * cores);
        for (unsigned i = 0; i < cores; ++i) {
            Entry entry{};
            entry.Relationship = RelationProcessorCore;
            entry.Size = static_cast<DWORD>(coreSize);
            entry.Processor.GroupCount = 1;
            entry.Processor.GroupMask[0].Mask = KAFFINITY(1) << i;
            std::memcpy(list.data() + coreSize * i, &entry, coreSize);
        }
        CHECK_EQ(check, platform::CountCoreEntries(list.data(), list.size()).value_or(0), cores);
    }
    check.row("");
    // The system's own list, through the program's reader.
    const std::optional<unsigned> physical = platform::CreateProcessorTopology()->PhysicalCores();
    CHECK(check, physical.has_value());
    if (const auto expected = Environment("ZENTARO_EXPECT_PHYSICAL_CORES"))
        CHECK_EQ(check, std::to_string(physical.value_or(0)), *expected);
}

// ---- current clock speed through WMI

void ClockSpeedFromWmi(Check& check) {
    platform::windows_impl::WmiClockSpeed wmi;
    const int first = wmi.QueryCurrentClockSpeed();
    CHECK(check, first >= 0);
    // Every call is a cycle of its own.
    CHECK(check, wmi.QueryCurrentClockSpeed() >= 0);
}

void ClockSpeedFailures(Check& check) {
    using platform::windows_impl::WmiClockQuery;
    struct Row {
        const char* what;
        WmiClockQuery query;
    };
    auto with = [](auto change) {
        WmiClockQuery q;
        change(q);
        return q;
    };
    const Row rows[] = {
        {"locator not registered",
         with([](WmiClockQuery& q) { q.locator = L"Zentaro.NoLocator"; })},
        {"no such namespace",
         with([](WmiClockQuery& q) { q.nameSpace = L"root\\ZentaroNoNamespace"; })},
        {"query fails",
         with([](WmiClockQuery& q) { q.query = L"SELECT CurrentClockSpeed FROM Win32_NoClass"; })},
        {"no item", with([](WmiClockQuery& q) {
             q.query = L"SELECT CurrentClockSpeed FROM Win32_Processor WHERE DeviceID = 'none'";
         })},
        {"no such property", with([](WmiClockQuery& q) { q.property = L"ZentaroNoProperty"; })},
        {"not a number", with([](WmiClockQuery& q) {
             q.query = L"SELECT Name FROM Win32_Processor";
             q.property = L"Name";
         })},
    };
    for (const Row& row : rows) {
        check.row(row.what);
        platform::windows_impl::WmiClockSpeed wmi(row.query);
        CHECK_EQ(check, wmi.QueryCurrentClockSpeed(), -1);
    }
}

// The query brings COM to a thread that has none and takes it away again; a
// thread in the multithreaded apartment is used as it is.
void ClockSpeedLeavesComAsFound(Check& check) {
    std::thread([&check] {
        platform::windows_impl::WmiClockSpeed wmi;
        CHECK(check, wmi.QueryCurrentClockSpeed() >= 0);
        const HRESULT after = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        CHECK_EQ(check, after, S_OK); // S_FALSE or a mode change would mean it was left on
        if (SUCCEEDED(after)) {
            CHECK(check, wmi.QueryCurrentClockSpeed() >= 0);
            ::CoUninitialize();
        }
    }).join();
}

// ---- version resources through the system's version API

void OwnVersionResource(Check& check) {
    const auto resources = platform::CreateVersionResource();
    const std::string cli = platform::ExecutableFolder() + "\\..\\zentaro-cli.exe";
    const TEXEVersionData d = ReadExeVersionData(*resources, cli);
    CHECK_EQ(check, d.CompanyName, std::string("KESTRIX"));
    CHECK_EQ(check, d.ProductName, std::string("Zentaro"));
    // Asked for as OriginalFileName, stored as OriginalFilename.
    CHECK_EQ(check, d.OriginalFileName, std::string("zentaro-cli.exe"));
    // The resource script is UTF-8; the sign must survive the compiler.
    CHECK_EQ(check, d.LegalCopyright, std::string("Copyright \xC2\xA9 2025 KESTRIX"));
    CHECK_EQ(check, d.PrivateBuild, std::string());
    const AppIdentity id = ReadAppIdentity(*resources, cli);
    CHECK_EQ(check, id.AppTitle, std::string("KESTRIX - Zentaro"));
    CHECK_EQ(check, id.AppVersion, std::string("1.0"));
}

void FirstTranslationsTable(Check& check) {
    const auto resources = platform::CreateVersionResource();
    const std::string file = Beside("version_two_tables.exe");
    const TEXEVersionData d = ReadExeVersionData(*resources, file);
    CHECK_EQ(check, d.CompanyName, std::string("KESTRIX"));
    CHECK_EQ(check, d.ProductName, std::string("Zentaro"));
    CHECK_EQ(check, d.OriginalFileName, std::string("fixture.exe"));
    // Only in the German table, which is not the first translation's.
    CHECK_EQ(check, d.PrivateBuild, std::string());
    CHECK_EQ(check, d.Comments, std::string());
    // 1.10.7.9: major and minor only.
    CHECK_EQ(check, FormatAppVersion(ReadExeFileVersion(*resources, file)), std::string("1.10"));
}

void VersionResourceFailures(Check& check) {
    const auto resources = platform::CreateVersionResource();
    TemporaryFolder folder;
    const std::string text = folder.utf8() + "\\plain.txt";
    std::ofstream(folder.path() / "plain.txt") << "no resource here\n";
    struct Row {
        const char* what;
        std::string file;
        int code; // -1: any code but 0
    };
    const Row rows[] = {
        {"missing file", folder.utf8() + "\\missing.exe", ERROR_FILE_NOT_FOUND},
        // A program without a version resource: this test itself.
        {"no resource", platform::CurrentExecutablePath(), -1},
        {"not a program", text, -1},
        {"no translation list", Beside("version_no_translation.exe"), 0},
    };
    for (const Row& row : rows) {
        check.row(row.what);
        bool raised = false;
        try {
            ReadExeVersionData(*resources, row.file);
        } catch (const OSError& e) {
            raised = true;
            if (row.code >= 0)
                CHECK_EQ(check, e.code(), row.code);
            else
                CHECK(check, e.code() != 0);
            const std::string message = e.what();
            if (e.code() == 0) {
                CHECK_EQ(check, message, std::string("A call to an OS function failed"));
            } else {
                const std::string head =
                    "System Error.  Code: " + std::to_string(e.code()) + ".\r\n";
                CHECK(check, message.starts_with(head));
                CHECK(check, message.size() > head.size()); // the system's text follows
            }
        }
        CHECK(check, raised);
        if (row.code != 0)
            CHECK_EQ(check, ReadExeFileVersion(*resources, row.file), kNoFileVersion);
    }
    check.row({});
    // Without a translation list the fixed part is still there.
    CHECK_EQ(check,
             FormatAppVersion(ReadExeFileVersion(*resources, Beside("version_no_translation.exe"))),
             std::string("2.5"));
}

// ---- data folder

void FolderWritability(Check& check) {
    const auto folders = platform::CreateDataFolders();
    CHECK_EQ(check, folders->Separator(), '\\');
    TemporaryFolder folder;
    CHECK(check, folders->IsFolderWritable(folder.utf8()));
    CHECK(check, folders->IsFolderWritable(folder.utf8() + "\\"));
    CHECK(check, !fs::exists(folder.path() / "chk.tmp")); // nothing left behind

    // Create-new only: a chk.tmp already there makes the folder not writable,
    // and is left as it was.
    std::ofstream(folder.path() / "chk.tmp") << "mine";
    CHECK(check, !folders->IsFolderWritable(folder.utf8()));
    std::ifstream kept(folder.path() / "chk.tmp");
    std::string content;
    kept >> content;
    CHECK_EQ(check, content, std::string("mine"));

    CHECK(check, !folders->IsFolderWritable(folder.utf8() + "\\missing"));
    // A folder whose name is not in the ANSI code page.
    const std::string wide = folder.utf8() + "\\\xE6\x97\xA5\xE6\x9C\xAC";
    CHECK(check, folders->CreateFolder(wide));
    CHECK(check, !folders->CreateFolder(wide)); // exists already
    CHECK(check, folders->IsFolderWritable(wide));
}

void RoamingApplicationData(Check& check) {
    const std::string folder = platform::CreateDataFolders()->RoamingAppDataFolder();
    CHECK(check, !folder.empty());
    CHECK(check, folder.back() != '\\');
    if (const auto appData = Environment("APPDATA"))
        CHECK_EQ(check, folder, *appData);
    CHECK(check, fs::is_directory(fs::u8path(folder)));
}

// ---- user language

void DisplayLanguage(Check& check) {
    const platform::LanguageId id = platform::CreateSystemUserLanguage()->DisplayLanguageId();
    CHECK_EQ(check, id, static_cast<platform::LanguageId>(::GetUserDefaultUILanguage()));
    if (const auto expected = Environment("ZENTARO_EXPECT_LANGID"))
        CHECK_EQ(check, std::to_string(id), *expected);
}

// ---- files

void RegularFiles(Check& check) {
    TemporaryFolder folder;
    std::ofstream(folder.path() / "five.txt", std::ios::binary) << "12345";
    // A name outside the ANSI code page.
    std::ofstream(folder.path() / fs::u8path("\xC3\xBC\xE2\x82\xAC.txt"), std::ios::binary) << "u";
    using Kind = platform::FileReadFailure::Kind;
    struct Row {
        const char* what;
        std::string path;
        std::size_t max;
        std::optional<std::string> content;
        Kind kind;
        int error;
    };
    const Row rows[] = {
        {"whole file", folder.utf8() + "\\five.txt", 5, "12345", Kind::None, 0},
        {"one byte too many", folder.utf8() + "\\five.txt", 4, std::nullopt, Kind::TooLarge, 0},
        {"UTF-8 name", folder.utf8() + "\\\xC3\xBC\xE2\x82\xAC.txt", 10, "u", Kind::None, 0},
        {"folder", folder.utf8(), 100, std::nullopt, Kind::NotRegular, 0},
        {"device", "NUL", 100, std::nullopt, Kind::NotRegular, 0},
        {"missing", folder.utf8() + "\\missing.txt", 100, std::nullopt, Kind::System, ENOENT},
        {"missing folder", folder.utf8() + "\\no\\x.txt", 100, std::nullopt, Kind::System, ENOENT},
    };
    for (const Row& row : rows) {
        check.row(row.what);
        platform::FileReadFailure why;
        const auto content = platform::ReadRegularFile(row.path, row.max, why);
        CHECK_EQ(check, content.has_value(), row.content.has_value());
        if (content && row.content)
            CHECK_EQ(check, *content, *row.content);
        CHECK(check, why.kind == row.kind);
        CHECK_EQ(check, why.error, row.error);
    }
}

void ExecutablePaths(Check& check) {
    const std::string path = platform::CurrentExecutablePath();
    CHECK(check, path.ends_with("\\test_platform_windows.exe"));
    CHECK_EQ(check, platform::RunningExecutableImage(), path);
    const std::string folder = platform::ExecutableFolder();
    CHECK_EQ(check, folder + "\\test_platform_windows.exe", path);
    CHECK(check, fs::exists(fs::u8path(Beside("version_two_tables.exe"))));
}

// ---- console and the machine's state

void ConsoleWhenPiped(Check& check) {
    const auto console = platform::CreateConsole();
    CHECK(check, console != nullptr);
    if (!console)
        return;
    CHECK(check, platform::CreateConsole() == nullptr); // one per process
    // The runner's output goes to a pipe.
    CHECK(check, !console->IsTerminal(platform::StandardStream::Output));
    CHECK_EQ(check, console->InterruptStatus(), 0);
}

void MachineState(Check& check) {
    const auto times = platform::CreateProcessorTimes();
    const auto first = times->Totals();
    CHECK(check, first.has_value());
    // Busy work on this thread until the counters move, with a deadline.
    std::optional<platform::ProcessorTimeTotals> second;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    volatile std::uint64_t spin = 0;
    while (first && std::chrono::steady_clock::now() < deadline) {
        for (int i = 0; i < 1000000; ++i)
            spin = spin + 1;
        second = times->Totals();
        if (second && second->total > first->total)
            break;
    }
    CHECK(check, second && first && second->total > first->total);
    if (second) {
        CHECK(check, second->busy <= second->total);
        CHECK(check, second->busy >= first->busy);
    }
    if (const auto expected = Environment("ZENTARO_EXPECT_HYPERVISOR"))
        CHECK_EQ(check, platform::CreateHypervisor()->RunsUnderHypervisor(), *expected == "1");
}

// ---- restart

void TextInCodePages(Check& check) {
    struct Row {
        const char* what;
        unsigned codePage;
        std::string text;
        std::optional<std::string> expected;
    };
    const Row rows[] = {
        {"ASCII", 1252, "C:\\Zentaro\\Z.exe", "C:\\Zentaro\\Z.exe"},
        {"empty", 1252, "", ""},
        {"Western letter", 1252, "C:\\Jos\xC3\xA9\\Z.exe", "C:\\Jos\xE9\\Z.exe"},
        // Best fit would make it a plain "a" and name another folder.
        {"no best fit", 1252, "C:\\\xC4\x85\\Z.exe", std::nullopt},
        {"Central European", 1250, "C:\\\xC4\x85\\Z.exe", "C:\\\xB9\\Z.exe"},
        {"Japanese outside Japan", 1252, "C:\\\xE6\x97\xA5\xE6\x9C\xAC\\Z.exe", std::nullopt},
        {"double-byte", 932, "C:\\\xE6\x97\xA5\xE6\x9C\xAC\\Z.exe", "C:\\\x93\xFA\x96\x7B\\Z.exe"},
        {"UTF-8 as it is", CP_UTF8, "C:\\\xE6\x97\xA5\\Z.exe", "C:\\\xE6\x97\xA5\\Z.exe"},
        // Bytes that are not UTF-8 name no file.
        {"not UTF-8", 1252, "C:\\\xFF\\Z.exe", std::nullopt},
        {"not UTF-8 into UTF-8", CP_UTF8, "C:\\\xFF\\Z.exe", std::nullopt},
    };
    for (const Row& row : rows) {
        check.row(row.what);
        const auto bytes = platform::windows_impl::InCodePage(row.text, row.codePage);
        CHECK_EQ(check, bytes.has_value(), row.expected.has_value());
        if (bytes && row.expected)
            CHECK_EQ(check, *bytes, *row.expected);
    }
}

void RestartScriptInOemCodePage(Check& check) {
    // The rows are for the console code page Wine gives an English user.
    CHECK_EQ(check, ::GetOEMCP(), 437u);
    if (::GetOEMCP() != 437)
        return;
    const auto restarter = platform::CreateRestarter();
    CHECK_EQ(check, restarter->ScriptName(), std::string("start.bat"));
    // Wine poses as Windows 7 or later, which wait with "timeout".
    const std::string head = "@ECHO OFF\r\n"
                             "ECHO This file was created automatically to restart the program.\r\n"
                             "ECHO It is safe to delete this file.\r\n"
                             "timeout 1\r\n";
    const auto western = restarter->ScriptFor("C:\\Users\\Jos\xC3\xA9\\Zentaro.exe");
    CHECK(check, western.has_value());
    if (western)
        CHECK_EQ(check, *western, head + "\"C:\\Users\\Jos\x82\\Zentaro.exe\"\r\n");
    CHECK(check, !restarter->ScriptFor("C:\\Users\\\xE5\xA4\xAA\xE9\x83\x8E\\Zentaro.exe"));
}

// The script ScriptFor writes, run by RunScript, starts a stand-in batch file
// from a folder whose name has a blank, "&", "%" and a letter beyond ASCII; the
// stand-in notes its working folder.
void RestartScriptRuns(Check& check) {
    TemporaryFolder folder;
    const fs::path programFolder = folder.path() / fs::path(u8"stand in & 100% \u00e9");
    const fs::path dataFolder = folder.path() / "data folder";
    fs::create_directories(programFolder);
    fs::create_directories(dataFolder);
    std::ofstream(programFolder / "stand-in.bat", std::ios::binary)
        << "@ECHO OFF\r\ncd > marker.txt\r\n";

    const auto restarter = platform::CreateRestarter();
    const std::string standIn = folder.utf8() + "\\stand in & 100% \xC3\xA9\\stand-in.bat";
    const auto script = restarter->ScriptFor(standIn);
    CHECK(check, script.has_value());
    if (!script)
        return;
    std::ofstream(dataFolder / "start.bat", std::ios::binary) << *script;
    const std::string dataPath = folder.utf8() + "\\data folder";
    CHECK(check, restarter->RunScript(dataPath + "\\start.bat", dataPath));

    // The line is there once the stand-in has written it whole.
    std::string written;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream marker(dataFolder / "marker.txt", std::ios::binary);
        written.assign(std::istreambuf_iterator<char>(marker), {});
        if (written.ends_with("\r\n"))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    CHECK_EQ(check, written, dataPath + "\r\n");
}

// ---- what the update check says about the system

bool LocaleNameShape(std::string_view name) {
    // language, then an optional script, then a region: "en-US", "sr-Latn-RS", "en-150"
    auto all = [](std::string_view piece, char low, char high) {
        for (const char c : piece)
            if (c < low || c > high)
                return false;
        return true;
    };
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = name.find('-', start);
        parts.push_back(name.substr(start, end - start));
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    const std::string_view language = parts.front();
    if (parts.size() > 3 || language.size() < 2 || language.size() > 3 || !all(language, 'a', 'z'))
        return false;
    if (parts.size() == 3 && (parts[1].size() != 4 || !all(parts[1].substr(0, 1), 'A', 'Z') ||
                              !all(parts[1].substr(1), 'a', 'z')))
        return false;
    const std::string_view region = parts.back();
    return parts.size() == 1 || (region.size() == 2 && all(region, 'A', 'Z')) ||
           (region.size() == 3 && all(region, '0', '9'));
}

// CTest runs this case again under other locales (tests/plain/CMakeLists.txt).
void UserLocale(Check& check) {
    const std::string name = platform::CreateUserLocale()->LocaleName();
    CHECK(check, LocaleNameShape(name));
    CHECK(check, ::IsValidLocaleName(platform::windows_impl::Wide(name).c_str()));
    if (const auto expected = Environment("ZENTARO_EXPECT_LOCALE"))
        CHECK_EQ(check, name, *expected);
}

// The machine's own registry value, read here through another call.
std::optional<std::wstring> MachineText(const wchar_t* path, const wchar_t* name) {
    wchar_t text[256] = {};
    DWORD size = sizeof text;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, path, name, RRF_RT_REG_SZ, nullptr, text, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(text);
}

void OsFactsFromWine(Check& check) {
    const platform::OsFacts facts = platform::CreateOsDescription()->Describe();
    const auto product =
        MachineText(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"ProductName");
    CHECK(check, product.has_value());
    CHECK(check, !facts.productName.empty());
    if (product)
        CHECK_EQ(check, facts.productName, platform::windows_impl::Utf8(*product));
    // Wine poses as Windows 7 or later.
    CHECK(check, facts.major >= 6);
    CHECK(check, facts.build > 0);
    CHECK(check, facts.x64);
}

void MachineIdOfThisPrefix(Check& check) {
    const platform::MachineId id = platform::CreateMachineIdentity()->ReadMachineId();
    CHECK(check, id.status == platform::MachineId::Status::Found);
    const auto stored = MachineText(L"SOFTWARE\\Microsoft\\Cryptography", L"MachineGuid");
    CHECK(check, stored.has_value());
    if (!stored)
        return;
    std::string digits;
    for (const wchar_t c : *stored)
        if (c != L'-' && c != L'{' && c != L'}')
            digits += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    CHECK_EQ(check, id.value, digits);
    CHECK_EQ(check, id.value.size(), std::size_t{32});
    CHECK_EQ(check, id.value.find_first_not_of("0123456789abcdef"), std::string::npos);
}

void MachineIdOfEveryShape(Check& check) {
    using Status = platform::MachineId::Status;
    const std::string guid = "1b4e28ba2fa141d2883f0016d3cca427";
    struct Row {
        const char* key;
        Status status;
    };
    const Row rows[] = {
        {"plain", Status::Found},           {"braced-upper-case", Status::Found},
        {"mixed-case", Status::Found},      {"no-closing-zero", Status::Found},
        {"zero-inside", Status::Found}, // the text ends at the zero
        {"no-such-key", Status::Missing},   {"no-value", Status::Missing},
        {"dword", Status::Unreadable},      {"expandable", Status::Unreadable},
        {"binary", Status::Unreadable},     {"empty", Status::Unreadable},
        {"no-hyphens", Status::Unreadable}, {"hyphen-moved", Status::Unreadable},
        {"one-brace", Status::Unreadable},  {"not-hex", Status::Unreadable},
        {"too-long", Status::Unreadable},   {"blank-around", Status::Unreadable},
    };
    for (const Row& row : rows) {
        check.row(row.key);
        const platform::MachineId id = platform::windows_impl::ReadMachineGuid(
            platform::RegistryRoot::CurrentUser, kStandIns + "machine-guid\\" + row.key);
        CHECK(check, id.status == row.status);
        CHECK_EQ(check, id.value, row.status == Status::Found ? guid : std::string());
    }
}

// ---- text viewer

// Refused before Notepad is asked: nothing to show, or a path that would not
// stay one argument.
void TextViewerRefusals(Check& check) {
    const auto viewer = platform::CreateTextViewer(nullptr);
    CHECK(check, !viewer->ShowTextFile(""));
    CHECK(check, !viewer->ShowTextFile("C:\\a\" \"C:\\b.txt"));
}

// ---- the end of the process

// The probe's exit status and everything it wrote to standard output and
// error, read through one pipe; nullopt when it could not be started or did
// not end within 30 seconds.
struct ProbeResult {
    DWORD status = 0;
    std::string output;
};

std::optional<ProbeResult> RunProbe(const std::string& arguments) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return std::nullopt;
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    std::wstring commandLine =
        platform::windows_impl::Wide("\"" + Beside("endprocess_probe.exe") + "\" " + arguments);
    PROCESS_INFORMATION process{};
    const bool started = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                          CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    ::CloseHandle(writeEnd);
    if (!started) {
        ::CloseHandle(readEnd);
        return std::nullopt;
    }
    ProbeResult result;
    char buffer[256];
    DWORD got = 0;
    // The pipe ends when the probe's last handle to it closes, with its process.
    while (::ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
        result.output.append(buffer, got);
    ::CloseHandle(readEnd);
    const bool ended = ::WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0 &&
                       ::GetExitCodeProcess(process.hProcess, &result.status);
    if (!ended)
        ::TerminateProcess(process.hProcess, 1);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return ended ? std::optional<ProbeResult>(result) : std::nullopt;
}

void ProcessEnd(Check& check) {
    for (const int status : {0, 7}) {
        const auto result = RunProbe(std::to_string(status));
        CHECK(check, result.has_value());
        if (!result)
            continue;
        CHECK_EQ(check, result->status, static_cast<DWORD>(status));
        for (const char* text : {"printed by printf;", "printed by cout;", "printed by cerr;"})
            CHECK(check, result->output.find(text) != std::string::npos);
    }
}

} // namespace

int main(int argc, char** argv) {
    return tablerun::Main(
        {
            {"processor_keys_of_every_shape", ProcessorKeysOfEveryShape},
            {"registry_key_reads", RegistryKeyReads},
            {"machine_processor_key", MachineProcessorKey},
            {"system_information", SystemInformation},
            {"processor_core_entries", ProcessorCoreEntries},
            {"clock_speed_from_wmi", ClockSpeedFromWmi},
            {"clock_speed_failures", ClockSpeedFailures},
            {"clock_speed_leaves_com_as_found", ClockSpeedLeavesComAsFound},
            {"own_version_resource", OwnVersionResource},
            {"first_translations_table", FirstTranslationsTable},
            {"version_resource_failures", VersionResourceFailures},
            {"folder_writability", FolderWritability},
            {"roaming_application_data", RoamingApplicationData},
            {"display_language", DisplayLanguage},
            {"regular_files", RegularFiles},
            {"executable_paths", ExecutablePaths},
            {"console_when_piped", ConsoleWhenPiped},
            {"machine_state", MachineState},
            {"text_in_code_pages", TextInCodePages},
            {"restart_script_in_ansi_code_page", RestartScriptInOemCodePage},
            {"restart_script_runs", RestartScriptRuns},
            {"user_locale", UserLocale},
            {"os_facts_from_wine", OsFactsFromWine},
            {"machine_id_of_this_prefix", MachineIdOfThisPrefix},
            {"machine_id_of_every_shape", MachineIdOfEveryShape},
            {"text_viewer_refusals", TextViewerRefusals},
            {"process_end", ProcessEnd},
        },
        argc, argv);
}
