#pragma once

// The tree a text in the registry editor's format gives one hive; the test fails when the text does not
// parse or a line of it is refused.

#include "registry/RegFileFormat.h"

#include <gtest/gtest.h>
#include <string>
#include <string_view>

namespace kalmora::test {

inline registry::TRegNode ParsedHive(std::string_view text,
                                     registry::HiveId hive = registry::HiveId::LocalMachine) {
    registry::TRegFileContent content;
    std::string error;
    EXPECT_TRUE(registry::ParseRegFile(text, content, error)) << error;
    EXPECT_EQ(registry::FirstRefusal(content), "");
    registry::TRegNode root;
    registry::ApplySections(content, hive, root);
    return root;
}

} // namespace kalmora::test
