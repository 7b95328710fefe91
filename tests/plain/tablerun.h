#pragma once

// A small test runner for programs that cannot use QtTest (the Windows cross
// build has no Qt). A program lists its cases; each case checks with CHECK and
// CHECK_EQ, which record a failure and let the case go on. main() runs the
// cases named on the command line, or all of them, and ends with the line
// "N passed, N failed"; its exit status is 1 when a case failed.

#include <cstdio>
#include <exception>
#include <functional>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace tablerun {

class Check {
public:
    void fail(const char* file, int line, const std::string& what) {
        std::ostringstream out;
        out << file << ":" << line << ": " << what;
        failures.push_back(out.str());
    }
    // Adds the row of a table to the messages of what fails within it.
    void row(std::string name) { currentRow = std::move(name); }
    // "[row] " inside a row of a table, else nothing.
    std::string where() const { return currentRow.empty() ? "" : "[" + currentRow + "] "; }

    std::vector<std::string> failures;
    std::string currentRow;
};

template <typename T> std::string Show(const T& value) {
    std::ostringstream out;
    if constexpr (std::is_convertible_v<T, std::string_view>)
        out << '"' << std::string_view(value) << '"';
    else
        out << value;
    return out.str();
}

struct Case {
    const char* name;
    std::function<void(Check&)> run;
};

inline int Main(const std::vector<Case>& cases, int argc, char** argv) {
    int passed = 0, failed = 0;
    for (const Case& c : cases) {
        bool wanted = argc <= 1;
        for (int i = 1; i < argc; ++i)
            wanted = wanted || std::string_view(argv[i]) == c.name;
        if (!wanted)
            continue;
        Check check;
        try {
            c.run(check);
        } catch (const std::exception& e) {
            check.fail(__FILE__, __LINE__, std::string("unexpected exception: ") + e.what());
        } catch (...) {
            check.fail(__FILE__, __LINE__, "unexpected exception");
        }
        if (check.failures.empty()) {
            ++passed;
            std::printf("PASS   %s\n", c.name);
        } else {
            ++failed;
            std::printf("FAIL!  %s\n", c.name);
            for (const std::string& f : check.failures)
                std::printf("       %s\n", f.c_str());
        }
        std::fflush(stdout);
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}

} // namespace tablerun

#define CHECK(check, condition)                                                                    \
    do {                                                                                           \
        if (!(condition))                                                                          \
            (check).fail(__FILE__, __LINE__, (check).where() + "CHECK(" #condition ")");           \
    } while (0)

#define CHECK_EQ(check, actual, expected)                                                          \
    do {                                                                                           \
        const auto& tablerun_a = (actual);                                                         \
        const auto& tablerun_e = (expected);                                                       \
        if (!(tablerun_a == tablerun_e))                                                           \
            (check).fail(__FILE__, __LINE__,                                                       \
                         (check).where() + #actual " is " + tablerun::Show(tablerun_a) +           \
                             ", expected " + tablerun::Show(tablerun_e));                          \
    } while (0)
