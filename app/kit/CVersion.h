#pragma once

namespace CVersion {

// The program's version, shown in the window caption and on the welcome page ("%.1f").
inline constexpr double software = 2.9;

} // namespace CVersion
