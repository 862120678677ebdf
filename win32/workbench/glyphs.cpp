#include "workbench/glyphs.h"

#include <array>
#include <cstdint>
#include <vector>

#include "base/unique.h"

namespace zeph::win {

namespace {

using Map = std::array<const char*, 16>;

// One colour per letter; "." is transparent.
std::uint32_t Colour(char c) {
    switch (c) {
        case 'k':
            return 0xFF303030;  // outline
        case 'o':
            return 0xFF707070;
        case 's':
            return 0xFFB8B8B8;
        case 'w':
            return 0xFFFFFFFF;
        case 'g':
            return 0xFF3CB043;
        case 'G':
            return 0xFF1E7A24;
        case 'l':
            return 0xFF8EE08F;
        case 'r':
            return 0xFFE03C31;
        case 'R':
            return 0xFF9E1B14;
        case 'b':
            return 0xFF3A76D8;
        case 'B':
            return 0xFF1B3F8F;
        case 'y':
            return 0xFFF5C542;
        case 'Y':
            return 0xFFB8860B;
        default:
            return 0;
    }
}

constexpr Map kRun = {
    "................", "...GG...........", "...GlGG.........", "...GllgGG.......",
    "...GlgggggGG....", "...GlgggggggGG..", "...GlggggggggggG", "...Glgggggggggg.",
    "...GlggggggggggG", "...GlgggggggGG..", "...GlgggggGG....", "...GllgGG.......",
    "...GlGG.........", "...GG...........", "................", "................",
};
constexpr Map kNew = {
    "................", "..oooooooo......", "..owwwwwwoo.....", "..owwwwwwosoy...",
    "..owwwwwwoooyYy.", "..owwwwwwwwyyyyy", "..owsssssswwyYy.", "..owwwwwwwwoy.y.",
    "..owsssssswwo...", "..owwwwwwwwwo...", "..owssssssswo...", "..owwwwwwwwwo...",
    "..owsssssswwo...", "..owwwwwwwwwo...", "..ooooooooooo...", "................",
};
constexpr Map kRemove = {
    "................", "................", "..RR.......RR...", ".RrrR.....RrrR..",
    ".RrrrR...RrrrR..", "..RrrrR.RrrrR...", "...RrrrRrrrR....", "....RrrrrrR.....",
    "....RrrrrrR.....", "...RrrrRrrrR....", "..RrrrR.RrrrR...", ".RrrrR...RrrrR..",
    ".RrrR.....RrrR..", "..RR.......RR...", "................", "................",
};
constexpr Map kLanguage = {
    "................", "...BB......BB...", "..Bb........bB..", "..B..........B..",
    "..B..........B..", "..B...b..b...B..", ".B...b....b...B.", "B...b......b...B",
    ".B...b....b...B.", "..B...b..b...B..", "..B..........B..", "..B..........B..",
    "..Bb........bB..", "...BB......BB...", "................", "................",
};
constexpr Map kSettings = {
    "................", "......ooo.......", "..o..osssso..o..", ".osooswwwsooso..",
    "..ossssssssso...", "..osssoooosso...", ".oossok..kosso..", "osssok....kssso.",
    "osssok....kssso.", ".oossok..kosso..", "..osssoooosso...", "..ossssssssso...",
    ".osooossssooso..", "..o..osssso..o..", "......ooo.......", "................",
};
constexpr Map kInsertId = {
    "................", "................", "................", "....kkkkkkkkkkkk",
    "...kyyyyyyyyyyyk", "..kyyyyyyyyyyyyk", ".kyykkyyyyyyyyyk", "kyyykkyBBBBBByyk",
    ".kyyyyyyyyyyyyyk", "..kyyyyyyyyyyyyk", "...kyyyyyyyyyyyk", "....kkkkkkkkkkkk",
    "................", "................", "................", "................",
};
constexpr Map kIcon = {
    "..oooooooo......", "..owwwwwwoo.....", "..owwwwwwowo....", "..owwwwwwoooo...",
    "..owsssswwwwo...", "..owwwwwwwwwo...", "..owsssGGwwwo...", "..owwwwGlGGwo...",
    "..owsssGlgggGG..", "..owwwwGlgggggG.", "..owsssGlgggGG..", "..owwwwGlGGwo...",
    "..owsssGGwwwo...", "..owwwwwwwwwo...", "..ooooooooooo...", "................",
};

// A top-down 32-bit DIB section holding `map` scaled up by `zoom`.
UniqueBitmap Render(const Map& map, int zoom, bool mask) {
    const int size = 16 * zoom;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = size;
    bi.bmiHeader.biHeight = -size;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap bmp(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bmp) return bmp;
    auto* px = static_cast<std::uint32_t*>(bits);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            std::uint32_t argb = Colour(map[y / zoom][x / zoom]);
            if (mask)
                px[y * size + x] = argb ? 0x00000000 : 0x00FFFFFF;
            else
                px[y * size + x] = argb;  // BGRA in memory: same layout as 0xAARRGGBB
        }
    }
    return bmp;
}

}  // namespace

HIMAGELIST CreateWorkbenchImages() {
    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 6, 0);
    if (!list) return nullptr;
    for (const Map* m : {&kRun, &kNew, &kRemove, &kLanguage, &kSettings, &kInsertId}) {
        UniqueBitmap colour = Render(*m, 1, false);
        UniqueBitmap mask = Render(*m, 1, true);
        UniqueBitmap mono(::CreateBitmap(16, 16, 1, 1, nullptr));
        // The image list wants a monochrome mask: copy the white/black DIB into one.
        {
            UniqueMemoryDc src(::CreateCompatibleDC(nullptr));
            UniqueMemoryDc dst(::CreateCompatibleDC(nullptr));
            SelectedObject s(src.get(), mask.get());
            SelectedObject d(dst.get(), mono.get());
            ::BitBlt(dst.get(), 0, 0, 16, 16, src.get(), 0, 0, SRCCOPY);
        }
        ImageList_Add(list, colour.get(), mono.get());
    }
    return list;
}

HICON CreateWorkbenchIcon(int size) {
    const int zoom = size >= 32 ? 2 : 1;
    const int edge = 16 * zoom;
    UniqueBitmap colour = Render(kIcon, zoom, false);
    UniqueBitmap mask = Render(kIcon, zoom, true);
    UniqueBitmap mono(::CreateBitmap(edge, edge, 1, 1, nullptr));
    {
        UniqueMemoryDc src(::CreateCompatibleDC(nullptr));
        UniqueMemoryDc dst(::CreateCompatibleDC(nullptr));
        SelectedObject s(src.get(), mask.get());
        SelectedObject d(dst.get(), mono.get());
        ::BitBlt(dst.get(), 0, 0, edge, edge, src.get(), 0, 0, SRCCOPY);
    }
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = colour.get();
    info.hbmMask = mono.get();
    return ::CreateIconIndirect(&info);
}

}  // namespace zeph::win
