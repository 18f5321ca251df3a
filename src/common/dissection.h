#pragma once
// A frame taken apart field by field, for the exchange journal: what each
// byte range means, and where the bytes are not what they should be (a
// wrong check byte or CRC, a frame cut short). Dissectors build it from the
// bytes alone; nothing here knows about the window.
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace tq {

// Which protocol a frame was taken for; the journal filters on it.
enum class Protocol { Configuration, Hart, Modbus, Unknown };

struct DissectedField {
  std::string name;     // "Delimiter", "Command", "Check byte"
  size_t offset = 0;    // first byte of the field within the block
  size_t length = 0;    // 0 for a remark about the frame as a whole
  std::string value;    // "0x86: long address, field device to master (ACK)"
  std::string verdict;  // "check byte OK", "check byte 51, expected 50"; empty: nothing to judge
  bool bad = false;     // the verdict is a fault: drawn as a warning
};

struct Dissection {
  Protocol protocol = Protocol::Unknown;
  // One line naming the frame: "HART reply, command 3 Read Dynamic
  // Variables And Loop Current, response 0: success".
  std::string title;
  std::vector<DissectedField> fields;

  DissectedField& add(std::string name, size_t offset, size_t length, std::string value) {
    fields.push_back({std::move(name), offset, length, std::move(value), {}, false});
    return fields.back();
  }
  // The first bad verdict, or nullptr.
  const DissectedField* firstFault() const {
    for (const DissectedField& f : fields)
      if (f.bad) return &f;
    return nullptr;
  }
  // The title, and the first fault when there is one.
  std::string summary() const {
    const DissectedField* fault = firstFault();
    return fault ? title + " \u2014 " + fault->verdict : title;
  }
};

// Marks `field` with `verdict`: a fault unless `bad` says otherwise.
inline void judge(DissectedField& field, std::string verdict, bool bad = true) {
  field.verdict = std::move(verdict);
  field.bad = bad;
}

// "frame ends after 5 of 8 bytes"; "of at least 8" where the frame's length
// is not known yet.
inline std::string cutShort(size_t got, size_t expected, bool atLeast = false) {
  return "frame ends after " + std::to_string(got) + " of " + (atLeast ? "at least " : "") + std::to_string(expected) +
         " bytes";
}

}  // namespace tq
