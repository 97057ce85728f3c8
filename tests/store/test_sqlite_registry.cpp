// The registry substitute where it goes beyond the contract suite (tests/contract, which runs on
// it too): trees as deep as the platform documents and no deeper; Wine sets no limit.
#include "RegistryProbe.h"
#include "SqliteRegistry.h"

#include <gtest/gtest.h>

using namespace zeb::reg;
using namespace probe;

TEST(SqliteRegistry, TreesEndAtTheDocumentedDepth) {
    SqliteRegistry reg(":memory:");
    const auto pathOf = [](std::size_t depth) {
        std::string path = "d";
        for (std::size_t level = 1; level < depth; ++level) {
            path += "\\d";
        }
        return path;
    };
    const Handle deepest = create(reg, pathOf(MAX_TREE_DEPTH));
    ASSERT_NE(deepest, 0u);
    Handle handle = 1;
    for (const auto& [start, path] :
         {std::pair{deepest, std::string("below")},
          std::pair{HKEY_LOCAL_MACHINE, "fresh\\" + pathOf(MAX_TREE_DEPTH)}}) {
        EXPECT_EQ(reg.createKey(start, path, 0, KEY_ALL_ACCESS, &handle), ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(reg.openKey(HKEY_LOCAL_MACHINE, "fresh", &handle), ERROR_FILE_NOT_FOUND);
}
