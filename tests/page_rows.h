#pragma once

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "form/window_rules.h"

namespace quorvane::test {

// What each page of the window shows, with copying chosen and without: Dir1, Drive1, Option1,
// Option2, Check1 .. Check5. Both windows are held to this one table.
using PageRow = std::tuple<int, bool, form::Visibility>;

inline const auto kPageRows = ::testing::Values(
    PageRow{0, true, {false, false, false, false, false, false, false, false, false}},
    PageRow{0, false, {false, false, false, false, false, false, false, false, false}},
    PageRow{1, true, {true, true, true, true, false, false, false, false, false}},
    PageRow{1, false, {false, false, true, true, false, false, false, false, false}},
    PageRow{2, true, {false, false, false, false, true, true, true, true, true}},
    PageRow{2, false, {false, false, false, false, true, true, true, true, true}});

inline std::string pageRowName(const ::testing::TestParamInfo<PageRow>& info) {
    return "Page" + std::to_string(std::get<0>(info.param)) +
           (std::get<1>(info.param) ? "Copying" : "InPlace");
}

}  // namespace quorvane::test
