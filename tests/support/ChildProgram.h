// Test code that runs in a child process: bodies another test starts as a
// program (QNDX_CHILD_PROGRAM), statements run in a forked child
// (QNDX_IN_CHILD), and the checks such code makes (QNDX_CHILD_CHECK...).
// A failed check prints where it is, what it checked and the values it
// compared on stderr, which the parent's expectation shows, and ends the
// child with status 1.
//
// A child-program body is registered with GoogleTest only in the run that
// asks for it (QNDX_CHILD_PROGRAM names it "Suite.Name"), so the test run
// never lists it, and never reports it skipped or disabled.
#pragma once

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>

namespace qndx {
namespace test {

// Registers `body` as Suite.Name when QNDX_CHILD_PROGRAM asks for it.
bool RegisterChildProgram(const char* suite, const char* name, const char* file, int line, void (*body)());

// For the starting side, in the child before exec: asks for the body.
void SelectChildProgram(const char* suite, const char* name);
// The --gtest_filter argument that runs only that body.
std::string ChildProgramFilter(const char* suite, const char* name);

// In a forked child, takes GoogleTest's failures: the parent shows only
// what the child writes on stderr, so each is written there as it happens.
class ChildFailures : public ::testing::ScopedFakeTestPartResultReporter {
public:
    ChildFailures();
    void ReportTestPartResult(const ::testing::TestPartResult& result) override;
    bool Failed() const;

private:
    ::testing::TestPartResultArray m_results;
};

// Ends a forked child that reached its end: status 1 when an expectation
// failed in it, else 0. It leaves through exit(), so the sanitizer build
// checks the child for leaks.
[[noreturn]] void EndChild(const ChildFailures& failures);

// What a check found: whether it held and, when it compared two values,
// both of them as text.
struct CheckResult {
    CheckResult(bool held) : ok(held) {}  // NOLINT: a plain condition
    CheckResult(bool held, std::string shown) : ok(held), values(std::move(shown)) {}
    explicit operator bool() const { return ok; }
    bool ok;
    std::string values;
};

// Catches the two sides of a comparison written inside a check:
// `ExpressionStart() <= a == b` is `(ExpressionStart() <= a) == b`.
// && and || between comparisons still short-circuit (they see only
// truth values), they just show no values. The two sides of a comparison
// are evaluated in no set order: a call whose effect the other side reads
// goes before the check.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wfloat-equal"
#endif
template <typename L>
class CheckedValue {
public:
    explicit CheckedValue(const L& v) : m_v(v) {}
    explicit operator bool() const { return static_cast<bool>(m_v); }
    operator CheckResult() const {  // NOLINT: a lone value is checked for truth
        const bool held = static_cast<bool>(m_v);
        if (std::is_same<L, bool>::value) return CheckResult(held);
        return CheckResult(held, ::testing::PrintToString(m_v));
    }
    template <typename R>
    CheckResult operator==(const R& r) const { return Shown(m_v == r, "==", r); }
    template <typename R>
    CheckResult operator!=(const R& r) const { return Shown(m_v != r, "!=", r); }
    template <typename R>
    CheckResult operator<(const R& r) const { return Shown(m_v < r, "<", r); }
    template <typename R>
    CheckResult operator<=(const R& r) const { return Shown(m_v <= r, "<=", r); }
    template <typename R>
    CheckResult operator>(const R& r) const { return Shown(m_v > r, ">", r); }
    template <typename R>
    CheckResult operator>=(const R& r) const { return Shown(m_v >= r, ">=", r); }

private:
    template <typename R>
    CheckResult Shown(bool held, const char* op, const R& r) const {
        if (held) return CheckResult(true);
        return CheckResult(false, ::testing::PrintToString(m_v) + " " + op + " " + ::testing::PrintToString(r));
    }
    const L& m_v;
};
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

struct ExpressionStart {
    template <typename L>
    CheckedValue<L> operator<=(const L& v) const { return CheckedValue<L>(v); }
};

// Reports a failed check when it goes (after any `<< note`), then ends the
// process with status 1.
class CheckFailure {
public:
    CheckFailure(const char* file, int line, const char* what, const std::string& values);
    ~CheckFailure();
    CheckFailure(const CheckFailure&) = delete;
    CheckFailure& operator=(const CheckFailure&) = delete;
    template <typename T>
    CheckFailure& operator<<(const T& note) {
        m_note << note;
        return *this;
    }

private:
    std::string m_head;
    std::ostringstream m_note;
};

std::string ShownText(const char* text);  // "<none>" for null
std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace test
}  // namespace qndx

// QNDX_CHILD_PROGRAM(Suite, Name) { body } in place of TEST(Suite, Name).
#define QNDX_CHILD_PROGRAM(suite, name)                                                                     \
    static void suite##_##name##_ChildBody();                                                               \
    static const bool suite##_##name##_ChildRegistered =                                                    \
        ::qndx::test::RegisterChildProgram(#suite, #name, __FILE__, __LINE__, &suite##_##name##_ChildBody); \
    static void suite##_##name##_ChildBody()

// Runs the statements in a forked child, which passes when it reaches their
// end with no failed expectation.
#define QNDX_IN_CHILD(...)                                     \
    do {                                                       \
        auto qndx_child_body = [&]() { __VA_ARGS__; };         \
        EXPECT_EXIT(                                           \
            {                                                  \
                ::qndx::test::ChildFailures qndx_failures;     \
                qndx_child_body();                             \
                ::qndx::test::EndChild(qndx_failures);         \
            },                                                 \
            ::testing::ExitedWithCode(0), "");                 \
    } while (0)

// Checks a condition in a child; a comparison at its top shows both values.
// A note may follow: QNDX_CHILD_CHECK(n > 0) << "after " << steps << " steps";
// (A loop that runs once on failure, not an if: no else of ours to take the
// caller's.)
#define QNDX_CHILD_CHECK(...) QNDX_CHILD_CHECK_SHOWN_AS_(#__VA_ARGS__, __VA_ARGS__)

#define QNDX_CHILD_CHECK_EQ(expected, actual) QNDX_CHILD_CHECK_SHOWN_AS_(#actual " == " #expected, (actual) == (expected))

#define QNDX_CHILD_CHECK_SHOWN_AS_(text, ...)                                                  \
    _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wparentheses\"") for (      \
        ::qndx::test::CheckResult qndx_check = ::qndx::test::ExpressionStart() <= __VA_ARGS__; \
        !qndx_check.ok; qndx_check.ok = true) _Pragma("GCC diagnostic pop")                     \
        ::qndx::test::CheckFailure(__FILE__, __LINE__, text, qndx_check.values)

#define QNDX_CHILD_CHECK_NEAR(expected, actual, tolerance)                                               \
    for (double qndx_e = (expected), qndx_a = (actual); !(std::fabs(qndx_e - qndx_a) <= (tolerance));) \
    ::qndx::test::CheckFailure(__FILE__, __LINE__, #actual " near " #expected,                           \
                               ::qndx::test::Printf("%.9g, expected %.9g within %g", qndx_a, qndx_e,      \
                                                    static_cast<double>(tolerance)))

// A C string (null shown as "<none>") against the text expected.
#define QNDX_CHILD_CHECK_EQ_STR(actual, expected) \
    QNDX_CHILD_CHECK_SHOWN_AS_(#actual " == " #expected, ::qndx::test::ShownText(actual) == std::string(expected))
