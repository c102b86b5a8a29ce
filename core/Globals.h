// The values the whole program shares, as one place to find them. Each is set
// by the part of the program named beside it.
#pragma once

#include <cstdint>
#include <string>

#include "core/Galleries.h"

namespace vorlane {

// Wallpaper countdown (the scheduler counts, the options set the interval).
inline int32_t secondsSinceChange = 0;
inline int32_t changeIntervalSeconds = 0;
// The last query found nothing: the countdown pauses and the notice is not repeated.
inline bool noMatchingWallpapers = false;
// Rotation paused by the idle check.
inline bool userIsIdle = false;

// The screen's width over its height as text in the user's number format.
inline std::wstring screenAspectRatio;
// The per-user data folder, ending in a backslash.
inline std::wstring dataFolder;

// The wallpaper picked by the last wallpapers reply, recorded once applied.
inline int32_t nextWallpaperID = 0;
inline std::wstring nextWallpaperLink;

// The picture source: 0 the member's favorites or uploads, 1 tags, 2 gallery and category.
inline int32_t activeSourceTab = 0;
inline std::wstring selectedGallery;
inline std::wstring selectedCategory;
// The gallery list of the last galleries reply.
inline Galleries galleries;

}  // namespace vorlane
