// Test bodies that run only as a program another test starts: this test
// program run again with QNDX_CHILD_PROGRAM naming the body ("Suite.Name").
// Such a body is registered with GoogleTest only in that run, so the test
// run never lists it, and never reports it skipped or disabled.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace qndx {
namespace test {

// Registers `body` as Suite.Name when QNDX_CHILD_PROGRAM asks for it.
bool RegisterChildProgram(const char* suite, const char* name, const char* file, int line, void (*body)());

// For the starting side, in the child before exec: asks for the body.
void SelectChildProgram(const char* suite, const char* name);
// The --gtest_filter argument that runs only that body.
std::string ChildProgramFilter(const char* suite, const char* name);

}  // namespace test
}  // namespace qndx

// QNDX_CHILD_PROGRAM(Suite, Name) { body } in place of TEST(Suite, Name).
#define QNDX_CHILD_PROGRAM(suite, name)                                                                     \
    static void suite##_##name##_ChildBody();                                                               \
    static const bool suite##_##name##_ChildRegistered =                                                    \
        ::qndx::test::RegisterChildProgram(#suite, #name, __FILE__, __LINE__, &suite##_##name##_ChildBody); \
    static void suite##_##name##_ChildBody()
