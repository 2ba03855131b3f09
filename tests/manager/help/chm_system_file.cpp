#include "chm_system_file.h"

#include <algorithm>

namespace korvel::chm {

namespace {

const SystemRecord* FindRecord(const std::vector<SystemRecord>& records, SystemCode code)
{
    const auto found = std::find_if(records.begin(), records.end(), [code](const SystemRecord& record) {
        return record.code == static_cast<std::uint16_t>(code);
    });
    return found == records.end() ? nullptr : &*found;
}

}  // namespace

Outcome<std::vector<SystemRecord>> ParseSystemFile(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < 4) {
        return Failure{"#SYSTEM has no version"};
    }
    std::vector<SystemRecord> records;
    std::size_t at = 4;
    while (at < bytes.size()) {
        if (bytes.size() - at < 4) {
            return Failure{"#SYSTEM ends inside a record header"};
        }
        SystemRecord record;
        record.code = static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
        const std::size_t length = bytes[at + 2] | (bytes[at + 3] << 8);
        at += 4;
        if (length > bytes.size() - at) {
            return Failure{"#SYSTEM record " + std::to_string(record.code) + " runs past the file"};
        }
        record.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                           bytes.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
        records.push_back(std::move(record));
    }
    return records;
}

std::optional<std::string> SystemText(const std::vector<SystemRecord>& records, SystemCode code)
{
    const SystemRecord* record = FindRecord(records, code);
    if (!record) {
        return std::nullopt;
    }
    const auto end = std::find(record->data.begin(), record->data.end(), 0);
    return std::string(record->data.begin(), end);
}

std::optional<std::uint32_t> SystemLanguage(const std::vector<SystemRecord>& records)
{
    const SystemRecord* record = FindRecord(records, SystemCode::Language);
    if (!record || record->data.size() < 4) {
        return std::nullopt;
    }
    const auto& data = record->data;
    return data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<std::uint32_t>(data[3]) << 24);
}

}  // namespace korvel::chm
