// Flag bits of configuration items and blocks, as the .cfg markers set them.
#pragma once

// Item flags. An item is active while neither CFG_ITEM_DISABLED nor CFG_ITEM_INACTIVE is set.
inline constexpr int CFG_ITEM_NORMAL = 1;    // active, no "#!" comment line: a merge keeps the target's value
inline constexpr int CFG_ITEM_FORCE = 2;     // "#!" comment line: a merge forces the source's value
inline constexpr int CFG_ITEM_DISABLED = 4;  // read from a line beginning "#-"
inline constexpr int CFG_ITEM_INACTIVE = 8;  // read from a line beginning "#:INACTIVE;"

// Block flag: a "#~" comment line; a merge leaves the target block's items alone.
inline constexpr int CFG_BLOCK_KEEP = 1;

inline constexpr bool cfgFlagsAreActive(int flags)
{
    return (flags & (CFG_ITEM_DISABLED | CFG_ITEM_INACTIVE)) == 0;
}
