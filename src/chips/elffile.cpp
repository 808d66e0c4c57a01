#include "chips/elffile.h"

#include <gelf.h>
#include <libelf.h>

#include <memory>
#include <vector>

namespace velmora {

namespace {

struct ElfCloser {
    void operator()(Elf* elf) const { elf_end(elf); }
};

// The load address of a section: the physical address of the segment that carries it, plus
// its place in that segment. A section outside every segment loads at its own address.
std::uint64_t LoadAddress(const GElf_Shdr& section, const std::vector<GElf_Phdr>& segments)
{
    for (const GElf_Phdr& segment : segments) {
        if (segment.p_type == PT_LOAD && section.sh_offset >= segment.p_offset &&
            section.sh_offset + section.sh_size <= segment.p_offset + segment.p_filesz)
            return segment.p_paddr + (section.sh_offset - segment.p_offset);
    }
    return section.sh_addr;
}

}  // namespace

std::string PlaceElfImage(std::span<const std::byte> file, ImagePlacer& placer)
{
    if (elf_version(EV_CURRENT) == EV_NONE)
        return "libelf does not work here";
    // libelf reads from a buffer it may not change but takes it as char*: give it a copy.
    std::vector<char> bytes(reinterpret_cast<const char*>(file.data()), reinterpret_cast<const char*>(file.data()) + file.size());
    const std::unique_ptr<Elf, ElfCloser> elf(elf_memory(bytes.data(), bytes.size()));
    if (!elf || elf_kind(elf.get()) != ELF_K_ELF)
        return "damaged ELF file";
    GElf_Ehdr header;
    if (!gelf_getehdr(elf.get(), &header))
        return "damaged ELF header";
    if (header.e_machine != EM_AVR)
        return "ELF file for another processor than AVR (machine " + std::to_string(header.e_machine) + ")";

    std::size_t segmentCount = 0;
    if (elf_getphdrnum(elf.get(), &segmentCount) != 0)
        return "damaged ELF program headers";
    std::vector<GElf_Phdr> segments;
    for (std::size_t i = 0; i < segmentCount; ++i) {
        GElf_Phdr segment;
        if (!gelf_getphdr(elf.get(), static_cast<int>(i), &segment))
            return "damaged ELF program headers";
        segments.push_back(segment);
    }

    bool anyLoaded = false;
    elf_errno();  // clears what an earlier call left: elf_getdata ends on errors and at the end alike
    for (Elf_Scn* scn = elf_nextscn(elf.get(), nullptr); scn; scn = elf_nextscn(elf.get(), scn)) {
        GElf_Shdr section;
        if (!gelf_getshdr(scn, &section))
            return "damaged ELF section header";
        if (!(section.sh_flags & SHF_ALLOC) || section.sh_type == SHT_NOBITS || section.sh_size == 0)
            continue;
        const std::uint64_t base = LoadAddress(section, segments);
        for (Elf_Data* data = elf_getdata(scn, nullptr); data; data = elf_getdata(scn, data)) {
            if (!data->d_buf)
                continue;
            const auto* p = static_cast<const std::uint8_t*>(data->d_buf);
            for (std::size_t k = 0; k < data->d_size; ++k)
                placer.Put(base + static_cast<std::uint64_t>(data->d_off) + k, p[k]);
            anyLoaded = anyLoaded || data->d_size != 0;
        }
        if (elf_errno() != 0)
            return "damaged ELF section";
    }
    placer.Finish();
    if (!anyLoaded)
        return "ELF file without a section to load";
    return {};
}

}  // namespace velmora
