#include "chips/selection.h"

#include "log/operationlog.h"

#include <array>

namespace velmora {

const ChipEntry* SelectChip(ChipState& state, SignatureCode code, OperationLog& log, const ShowChipFn& showChip)
{
    if (code == 0) {
        log.WriteLog(LogNoChip);
        return nullptr;
    }
    const ChipEntry* entry = FindChipEntry(code, state.NiietMode == 1);
    if (!entry) {
        log.WriteLog(LogChipSelected, QStringLiteral(" unknown"));
        return nullptr;
    }
    chip& c = state.CurrentChip;
    c.entry = entry;
    c.name = std::string(entry->name);
    c.picture = std::string(entry->picture);
    c.SignatureCode = entry->code;
    c.flashSize = entry->flashSize;
    c.eepromSize = entry->eepromSize;
    c.CalibrationCount = entry->calibrationCount;
    if (showChip)
        showChip(code);
    log.WriteLog(LogChipSelected, QStringLiteral(" ") + QString::fromUtf8(entry->name.data(), qsizetype(entry->name.size())));
    for (const std::uint8_t type : std::array<std::uint8_t, 4>{1, 2, 3, 4})
        ResetBuffer(state, type);
    return entry;
}

const ChipEntry* SelectMenuEntry(ChipState& state, const ChipEntry& entry, OperationLog& log,
                                 const ShowChipFn& showChip)
{
    state.NiietMode = entry.niiet ? 1 : 0;
    return SelectChip(state, entry.code, log, showChip);
}

}  // namespace velmora
