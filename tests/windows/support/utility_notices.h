#pragma once

#include <string_view>

// The utility's texts as the driver's users know them, blanks and spelling included.
namespace testsupport {

inline constexpr std::string_view NoticeCaption = "VELTA Multi-Serial Adapters !";

// Loading, when a key or a value cannot be read.
inline constexpr std::string_view ServiceKeyNotice =
    "    System can't find data in registry, please setup again !!";
inline constexpr std::string_view ParametersKeyNotice =
    "?    System can't find data in registry, please setup again !!";
inline constexpr std::string_view ValueNotice =
    "  System can't find data in registry , please setup again (StartNum)!!";

// Applying: stored, or not.
inline constexpr std::string_view RestartNotice =
    "You must shutdown computer before the new setting will take effect!";
inline constexpr std::string_view StoreFailedNotice =
    "System can't save data in registry, please check your access rights !!";
inline constexpr std::string_view PartlyStoredNotice =
    "System saved only part of the data in registry, please check your access rights and apply "
    "again !!";

// The data exchange's messages about the two edit fields.
inline constexpr std::string_view IntegerMessage = "Please enter an integer.";
inline constexpr std::string_view AdapterRangeMessage = "Please enter an integer between 0 and 4.";
inline constexpr std::string_view StartPortRangeMessage =
    "Please enter an integer between 3 and 247.";

} // namespace testsupport
