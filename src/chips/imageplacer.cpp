#include "chips/imageplacer.h"

#include <algorithm>

namespace velmora {

ImagePlacer::ImagePlacer(std::span<std::uint8_t> image, std::size_t memorySize, PlaceInto into,
                         std::span<std::uint8_t> defined)
    : image_(image),
      defined_(defined),
      limit_(std::min<std::uint64_t>({memorySize, image.size(), defined.empty() ? image.size() : defined.size()})),
      into_(into)
{
}

void ImagePlacer::Store(std::uint64_t address, std::uint64_t fileAddress, std::uint8_t value)
{
    if (address < limit_) {
        image_[address] = value;
        if (!defined_.empty())
            defined_[address] = 1;
    } else if (dropped_++ == 0) {
        firstDropped_ = fileAddress;
    }
}

void ImagePlacer::Put(std::uint64_t fileAddress, std::uint8_t value)
{
    if (fileAddress < EepromSectionAddress) {
        if (into_ == PlaceInto::Flash) {
            Store(fileAddress, fileAddress, value);
        } else if (!eepromSection_) {
            if (fileAddress < limit_) {
                if (heldValues_.empty()) {
                    heldValues_.resize(limit_);
                    heldGiven_.resize(limit_);
                }
                heldValues_[fileAddress] = value;
                heldGiven_[fileAddress] = 1;
            } else if (heldDropped_++ == 0) {
                heldFirstDropped_ = fileAddress;
            }
        }
        return;
    }
    if (fileAddress < FuseSectionAddress) {
        eepromSection_ = true;
        if (into_ == PlaceInto::Eeprom)
            Store(fileAddress - EepromSectionAddress, fileAddress, value);
        return;
    }
    if (fileAddress < LockSectionAddress) {
        const std::uint64_t slot = fileAddress - FuseSectionAddress;
        if (slot < fuses_.fuse.size())
            fuses_.fuse[slot] = value;
        return;
    }
    if (fileAddress < LockSectionAddress + 0x10000) {
        if (fileAddress == LockSectionAddress)
            fuses_.lock = value;
        return;
    }
    if (fileAddress >= ToolchainSpaceEnd)
        Store(fileAddress, fileAddress, value);  // no memory of any chip: counted as beyond it
}

void ImagePlacer::Finish()
{
    if (finished_)
        return;
    finished_ = true;
    if (!eepromSection_) {
        for (std::size_t a = 0; a < heldGiven_.size(); ++a)
            if (heldGiven_[a])
                Store(a, a, heldValues_[a]);
        if (heldDropped_ != 0 && dropped_ == 0)
            firstDropped_ = heldFirstDropped_;
        dropped_ += heldDropped_;
    }
    heldValues_ = {};
    heldGiven_ = {};
}

}  // namespace velmora
