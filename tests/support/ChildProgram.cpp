// Child-program bodies (see ChildProgram.h).
#include "support/ChildProgram.h"

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

}  // namespace test
}  // namespace qndx
