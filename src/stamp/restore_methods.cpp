#include "stamp/restore_methods.h"

#include <array>

#include "stamp/restore_parts.h"

namespace {

const std::array<CRestoreMethodRow, 3> kMethods = {{
    {RestoreMethod::Tv, "tv", "Total variation",
     "edge-preserving, weighted by the picture's noise (default)", true, true, TvRestore},
    {RestoreMethod::Lucy, "lucy", "Richardson-Lucy", "iterations until the picture settles", false,
     true, LucyRestore},
    {RestoreMethod::Wiener, "wiener", "Wiener", "one pass, smooth prior from the spectrum", true,
     false, WienerRestore},
}};

}  // namespace

std::span<const CRestoreMethodRow> RestoreMethods() {
    return kMethods;
}

const CRestoreMethodRow& RestoreMethodRow(RestoreMethod method) {
    for (const CRestoreMethodRow& row : kMethods)
        if (row.method == method) return row;
    return kMethods[0];
}

const CRestoreMethodRow* FindRestoreMethod(std::string_view name) {
    for (const CRestoreMethodRow& row : kMethods)
        if (name == row.name) return &row;
    return nullptr;
}
