// Test main for module tests: links the module into the host's searches
// first, as every host does before it reads archives.
#include <gtest/gtest.h>

#include "kestrum/kestrum.h"

int main(int argc, char** argv)
{
    InitKestrumDLL();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
