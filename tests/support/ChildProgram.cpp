// Child-program bodies (see ChildProgram.h).
#include "support/ChildProgram.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace qndx {
namespace test {

namespace {

const char kVariable[] = "QNDX_CHILD_PROGRAM";

class ChildProgramTest : public ::testing::Test {
public:
    explicit ChildProgramTest(void (*body)()) : m_body(body) {}
    void TestBody() override { m_body(); }

private:
    void (*m_body)();
};

}  // namespace

bool RegisterChildProgram(const char* suite, const char* name, const char* file, int line, void (*body)()) {
    const char* wanted = std::getenv(kVariable);
    if (!wanted || std::string(suite) + "." + name != wanted) return false;
    ::testing::RegisterTest(suite, name, nullptr, nullptr, file, line,
                            [body]() -> ::testing::Test* { return new ChildProgramTest(body); });
    return true;
}

void SelectChildProgram(const char* suite, const char* name) {
    setenv(kVariable, (std::string(suite) + "." + name).c_str(), 1);
}

std::string ChildProgramFilter(const char* suite, const char* name) {
    return std::string("--gtest_filter=") + suite + "." + name;
}

ChildFailures::ChildFailures()
    : ::testing::ScopedFakeTestPartResultReporter(INTERCEPT_ALL_THREADS, &m_results) {}

void ChildFailures::ReportTestPartResult(const ::testing::TestPartResult& result) {
    if (result.failed()) {
        std::fprintf(stderr, "%s:%d: %s\n", result.file_name() ? result.file_name() : "?", result.line_number(),
                     result.message());
        std::fflush(stderr);
    }
    ::testing::ScopedFakeTestPartResultReporter::ReportTestPartResult(result);
}

bool ChildFailures::Failed() const {
    for (int i = 0; i < m_results.size(); ++i)
        if (m_results.GetTestPartResult(i).failed()) return true;
    return false;
}

void EndChild(const ChildFailures& failures) {
    std::fflush(stdout);
    std::fflush(stderr);
    std::exit(failures.Failed() ? 1 : 0);
}

CheckFailure::CheckFailure(const char* file, int line, const char* what, const std::string& values) {
    m_head = std::string(file) + ":" + std::to_string(line) + ": check failed: " + what + "\n";
    if (!values.empty()) m_head += "    values: " + values + "\n";
}

CheckFailure::~CheckFailure() {
    const std::string note = m_note.str();
    std::fputs(m_head.c_str(), stderr);
    if (!note.empty()) std::fprintf(stderr, "    %s\n", note.c_str());
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(1);
}

std::string ShownText(const char* text) { return text ? std::string(text) : std::string("<none>"); }

std::string Printf(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

}  // namespace test
}  // namespace qndx
