#include "protocol/dissector.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>

#include "common/byte_display.h"
#include "common/int_conversion.h"
#include "common/text.h"
#include "protocol/config_frames.h"
#include "protocol/output_frames.h"
#include "protocol/reply_tables.h"

namespace tq::protocol {

namespace {

// Bounds on what any text can make of a dissection.
constexpr size_t kMaxAnswerGroups = 64;
constexpr size_t kMaxValueChars = 64;

constexpr std::string_view kEllipsis = "\u2026";

std::string_view asText(std::span<const uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool allDigits(std::string_view text) { return !text.empty() && std::all_of(text.begin(), text.end(), isDigit); }

// What the module's replies are made of: printable ASCII, and line ends a
// terminal program may add.
bool isPrintable(char c) {
  const auto b = static_cast<uint8_t>(c);
  return (b >= 0x20 && b < 0x7F) || c == '\r' || c == '\n' || c == '\t';
}

bool allPrintable(std::string_view text) { return std::all_of(text.begin(), text.end(), isPrintable); }

// Received or typed characters as the journal shows them, bounded.
std::string shown(std::string_view text) {
  if (text.size() <= kMaxValueChars) return latin1ToUtf8(text);
  return latin1ToUtf8(text.substr(0, kMaxValueChars)) + std::string(kEllipsis);
}

std::string counted(size_t n, std::string_view what) {
  return std::to_string(n) + " " + std::string(what) + (n == 1 ? "" : "s");
}

std::string quoted(char c) { return "'" + latin1ToUtf8(std::string_view(&c, 1)) + "'"; }

// The bytes after a frame's '#', which the module would take for the start
// of another frame.
void trailing(std::string_view text, size_t end, Dissection& d) {
  if (end >= text.size()) return;
  judge(d.add("After the frame", end, text.size() - end, shown(text.substr(end))),
        counted(text.size() - end, "byte") + " after the frame's end");
}

// --- frames -----------------------------------------------------------------

// The frame's closing '#' at `at`.
void frameEnd(std::string_view text, size_t at, size_t expected, Dissection& d) {
  if (at >= text.size()) {
    judge(d.add("End", text.size(), 0, ""), cutShort(text.size(), expected));
    return;
  }
  if (text[at] != kFrameEnd) {
    judge(d.add("End", at, 1, shown(text.substr(at, 1))), "expected '#', found " + quoted(text[at]));
    return;
  }
  trailing(text, at + 1, d);
}

// One digit at `at` named `name`; false when the frame stops there.
bool digitField(std::string_view text, size_t at, std::string_view name, size_t expected, bool atLeast, Dissection& d) {
  if (at >= text.size()) {
    judge(d.add(std::string(name), text.size(), 0, ""), cutShort(text.size(), expected, atLeast));
    return false;
  }
  DissectedField& f = d.add(std::string(name), at, 1, shown(text.substr(at, 1)));
  if (!isDigit(text[at])) judge(f, "not a digit");
  return true;
}

void dissectQuery(std::string_view text, Dissection& d) {
  d.add("Prefix", 0, kQueryPrefix.size(), std::string(kQueryPrefix) + " query");
  const std::string_view body = text.substr(kQueryPrefix.size());
  const auto layouts = queryLayouts();
  const auto query =
      std::find_if(layouts.begin(), layouts.end(), [&](const QueryLayout& q) { return body.starts_with(q.word); });
  if (query == layouts.end()) {
    const size_t end = std::min(body.find(kFrameEnd), body.size());
    const bool cut = end == body.size() && std::any_of(layouts.begin(), layouts.end(),
                                                       [&](const QueryLayout& q) { return q.word.starts_with(body); });
    judge(d.add("Command", kQueryPrefix.size(), end, shown(body.substr(0, end))),
          cut ? "frame ends inside the command" : "unknown query");
    d.title = "Configuration query, unknown command";
    return;
  }
  size_t at = kQueryPrefix.size();
  d.add("Command", at, query->word.size(), std::string(query->word) + ": " + std::string(query->title));
  at += query->word.size();
  const size_t expected = at + (query->perDevice ? 1 : 0) + 1;
  d.title = "Configuration query " + std::string(query->word);
  if (query->perDevice) {
    if (!digitField(text, at, deviceField().name, expected, false, d)) return;
    d.title += text.substr(at, 1);
    ++at;
  }
  d.title += ", " + std::string(query->title);
  frameEnd(text, at, expected, d);
}

// The set frame layout whose head (word, device digit, suffix, first
// separator) the body matches; failing that, the longest word it starts
// with.
const SetFrameLayout* findSetLayout(std::string_view body) {
  const SetFrameLayout* longest = nullptr;
  for (const SetFrameLayout& layout : setFrameLayouts()) {
    if (!body.starts_with(layout.word)) continue;
    if (!longest || layout.word.size() > longest->word.size()) longest = &layout;
    size_t at = layout.word.size();
    auto consistent = [&](std::string_view wanted) {
      const std::string_view got = body.substr(std::min(at, body.size()), wanted.size());
      at += wanted.size();
      return wanted.starts_with(got);  // what is there matches; a cut frame matches so far
    };
    if (layout.perDevice) {
      if (at < body.size() && !isDigit(body[at])) continue;
      ++at;
    }
    if (!consistent(layout.suffix)) continue;
    const std::string_view next =
        layout.fields.empty() ? std::string_view(&kFrameEnd, 1) : layout.fields.front().before;
    if (!consistent(next)) continue;
    return &layout;
  }
  return longest;
}

// Length of a whole frame of this layout, `bytes` raw bytes included.
size_t setFrameLength(const SetFrameLayout& layout, size_t bytes) {
  size_t length = kSetPrefix.size() + layout.word.size() + (layout.perDevice ? 1 + layout.suffix.size() : 0);
  for (const FieldLayout& field : layout.fields) length += field.before.size() + fieldWidth(field);
  return length + bytes + (layout.closed ? 1 : 0);
}

// A field of a set frame at `at`; false when the frame stops there.
bool setField(std::string_view text, size_t& at, const FieldLayout& field, const SetFrameLayout& layout,
              Dissection& d) {
  const size_t expected = setFrameLength(layout, 0);
  const bool countUnknown = layout.fields.back().encoding == Encoding::CountAndBytes;
  for (const char c : field.before) {
    if (at >= text.size()) {
      judge(d.add(std::string(field.name), text.size(), 0, ""), cutShort(text.size(), expected, countUnknown));
      return false;
    }
    if (text[at] != c) {
      judge(d.add(std::string(field.name), at, 1, shown(text.substr(at, 1))),
            "expected '" + std::string(1, c) + "', found " + quoted(text[at]));
      return false;
    }
    ++at;
  }
  const size_t width = fieldWidth(field);
  const std::string_view chars = text.substr(std::min(at, text.size()), width);
  if (field.encoding == Encoding::CountAndBytes) {
    const std::string name = std::string(field.name) + ", byte count";
    const std::string_view count = chars.substr(0, 2);
    DissectedField& f = d.add(name, at, count.size(), shown(count));
    if (count.size() < 2) {
      judge(f, cutShort(text.size(), expected, true));
      return false;
    }
    if (!allDigits(count)) {
      judge(f, "not a two-digit count");
      return false;
    }
    const size_t n = static_cast<size_t>((count[0] - '0') * 10 + (count[1] - '0'));
    const size_t whole = setFrameLength(layout, n);
    if (chars.size() < width) {
      judge(f, cutShort(text.size(), whole));
      return false;
    }
    if (chars[2] != ',') {
      judge(f, "expected ',' after the count, found " + quoted(chars[2]));
      return false;
    }
    at += width;
    const std::string_view bytes = text.substr(at, n);
    const std::span raw(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    DissectedField& b = d.add(std::string(field.name) + ", bytes", at, bytes.size(), hexBytes(raw));
    at += bytes.size();
    if (bytes.size() < n) {
      judge(b, cutShort(text.size(), whole));
      return false;
    }
    return true;
  }
  DissectedField& f = d.add(std::string(field.name), at, chars.size(), shown(chars));
  if (chars.size() < width) {
    judge(f, cutShort(text.size(), expected, countUnknown));
    return false;
  }
  if (field.encoding != Encoding::FixedText && !allDigits(chars)) {
    judge(f, width == 1 ? "not a digit" : "not " + std::to_string(width) + " digits");
  }
  at += width;
  return true;
}

void dissectSet(std::string_view text, Dissection& d) {
  d.add("Prefix", 0, kSetPrefix.size(), std::string(kSetPrefix) + " setting");
  const std::string_view body = text.substr(kSetPrefix.size());
  const SetFrameLayout* layout = findSetLayout(body);
  if (!layout) {
    const size_t end = std::min({body.find(':'), body.find(kFrameEnd), body.size()});
    judge(d.add("Command", kSetPrefix.size(), end, shown(body.substr(0, end))), "unknown command");
    if (end < body.size()) d.add("Fields", kSetPrefix.size() + end, body.size() - end, shown(body.substr(end)));
    d.title = "Configuration setting, unknown command";
    return;
  }
  size_t at = kSetPrefix.size();
  d.add("Command", at, layout->word.size(), std::string(layout->word) + ": " + std::string(layout->title));
  d.title = "Configuration setting " + std::string(layout->word);
  at += layout->word.size();
  if (layout->perDevice) {
    const bool countUnknown = !layout->fields.empty() && layout->fields.back().encoding == Encoding::CountAndBytes;
    if (!digitField(text, at, deviceField().name, setFrameLength(*layout, 0), countUnknown, d)) return;
    d.title += text.substr(at, 1);
    ++at;
    const std::string_view suffix = text.substr(std::min(at, text.size()), layout->suffix.size());
    if (suffix != layout->suffix) {
      judge(d.add("Command", at, suffix.size(), shown(suffix)),
            suffix.size() < layout->suffix.size() ? cutShort(text.size(), setFrameLength(*layout, 0), countUnknown)
                                                  : "expected '" + std::string(layout->suffix) + "'");
      return;
    }
    d.title += suffix;
    at += suffix.size();
  }
  d.title += ", " + std::string(layout->title);
  for (const FieldLayout& field : layout->fields) {
    if (!setField(text, at, field, *layout, d)) return;
  }
  if (layout->closed)
    frameEnd(text, at, at + 1, d);
  else
    trailing(text, at, d);
}

// "VELKOR#" + word + ':' + fields separated by ',' + '#'; the fields are
// free-width, so only the '#' says where the frame ends.
void dissectOutput(std::string_view text, Dissection& d) {
  d.add("Prefix", 0, kOutputPrefix.size(), std::string(kOutputPrefix) + " output command");
  const size_t bodyStart = kOutputPrefix.size();
  const std::string_view body = text.substr(bodyStart);
  const size_t colon = std::min({body.find(':'), body.find(kFrameEnd), body.size()});
  const std::string_view word = body.substr(0, colon);
  const auto commands = outputCommands();
  const auto command =
      std::find_if(commands.begin(), commands.end(), [&](const OutputCommand& c) { return word == c.word; });
  DissectedField& commandField = d.add("Command", bodyStart, word.size(), shown(word));
  if (command == commands.end()) {
    judge(commandField, "unknown command");
    if (colon < body.size()) d.add("Fields", bodyStart + colon, body.size() - colon, shown(body.substr(colon)));
    d.title = "Output command, unknown";
    return;
  }
  commandField.value += ": " + std::string(command->group);
  d.title = "Output command " + std::string(word) + ", " + command->group;
  if (colon >= body.size() || body[colon] != ':') {
    judge(d.add("Fields", bodyStart + colon, 0, ""),
          colon >= body.size() ? "frame ends before its fields" : "expected ':' after the command");
    return;
  }
  const size_t fieldsStart = colon + 1;
  const size_t end = std::min(body.find(kFrameEnd, fieldsStart), body.size());
  size_t at = fieldsStart;
  size_t index = 0;
  while (true) {
    const size_t comma = std::min(body.find(kOutputFieldSeparator, at), end);
    const std::string_view value = body.substr(at, comma - at);
    if (index < command->fields.size()) {
      const OutputField& field = command->fields[index];
      DissectedField& f = d.add(field.name ? field.name : field.control, bodyStart + at, value.size(), shown(value));
      if (field.value != OutputValue::Text) {
        // The tool writes indices and delays as plain decimals.
        if (field.value == OutputValue::Index && value == "-1")
          judge(f, "nothing selected");
        else if (!allDigits(value.starts_with('-') ? value.substr(1) : value))
          judge(f, "not a whole number");
      }
    } else if (index < kMaxAnswerGroups) {
      judge(d.add("Extra field", bodyStart + at, value.size(), shown(value)),
            "the command has " + counted(command->fields.size(), "field"));
    }
    ++index;
    if (comma >= end) break;
    at = comma + 1;
  }
  for (size_t missing = index; missing < command->fields.size(); ++missing) {
    const OutputField& field = command->fields[missing];
    judge(d.add(field.name ? field.name : field.control, bodyStart + end, 0, ""), "missing");
  }
  if (end >= body.size()) {
    judge(d.add("End", text.size(), 0, ""), "frame ends before its '#'");
    return;
  }
  trailing(text, bodyStart + end + 1, d);
}

// --- replies ----------------------------------------------------------------

// Each control a reply writes, by the name the window gives it: the set
// frames and output commands that write the same controls name them.
const std::unordered_map<std::string_view, std::string_view>& controlNames() {
  static const auto names = [] {
    std::unordered_map<std::string_view, std::string_view> map;
    map.emplace(deviceField().control, deviceField().name);
    for (const SetFrameLayout& layout : setFrameLayouts()) {
      for (const FieldLayout& field : layout.fields) map.emplace(field.control, field.name);
    }
    for (const OutputCommand& command : outputCommands()) {
      for (const OutputField& field : command.fields) {
        if (field.name) map.emplace(field.control, field.name);
      }
    }
    // Written by replies only.
    map.emplace("ComboBox14", "Module Working Mode (MODBUS page)");
    map.emplace("Edit2", "IAOUT");
    map.emplace("Edit3", "IBOUT");
    return map;
  }();
  return names;
}

std::string controlName(std::string_view control) {
  const auto& names = controlNames();
  const auto it = names.find(control);
  return std::string(it == names.end() ? control : it->second);
}

enum class ReplyKind { CommQuery, System, Modbus, OutputSettings, OutputValues };

struct ReplyLayout {
  ReplyKind kind;
  std::string_view marker;
  std::string_view queryWord;  // the query it answers, for its title
  std::span<const Group> groups;
};

std::span<const ReplyLayout> replyLayouts() {
  static const ReplyLayout layouts[] = {
      {ReplyKind::CommQuery, commQueryReplyGroup().keyword, "QV", std::span(&commQueryReplyGroup(), 1)},
      {ReplyKind::System, kSystemReplyMarker, "QX1", systemReplyGroups()},
      {ReplyKind::Modbus, kModbusReplyMarker, "QQ", modbusDeviceGroups()},
      {ReplyKind::OutputSettings, kOutputSettingsReplyMarker, "QX2", outputSettingsReplyGroups()},
      {ReplyKind::OutputValues, kOutputValuesReplyMarker, "QX3", outputValuesReplyGroups()},
  };
  return layouts;
}

std::string_view queryTitle(std::string_view word) {
  for (const QueryLayout& q : queryLayouts()) {
    if (q.word == word) return q.title;
  }
  return {};
}

// The layout whose marker comes first in the text, and where.
const ReplyLayout* findReply(std::string_view text, size_t& markerAt) {
  const ReplyLayout* found = nullptr;
  markerAt = std::string_view::npos;
  for (const ReplyLayout& layout : replyLayouts()) {
    const size_t at = findKeyword(text, layout.marker);
    if (at < markerAt) {
      markerAt = at;
      found = &layout;
    }
  }
  return found;
}

// Whether the reply holds a group beyond its marker; the communication
// query's marker is its group, so there its fields must be digits.
bool holdsGroups(std::string_view text, const ReplyLayout& layout, size_t markerAt) {
  if (layout.kind == ReplyKind::CommQuery) {
    const Field& last = commQueryReplyGroup().fields.back();
    return allDigits(fieldText(text, markerAt + commQueryReplyGroup().fields.front().offset,
                               last.offset + last.width - commQueryReplyGroup().fields.front().offset));
  }
  return std::any_of(layout.groups.begin(), layout.groups.end(),
                     [&](const Group& g) { return findKeyword(text, g.keyword) != std::string_view::npos; });
}

struct GroupNote {
  bool required = true;  // its absence is a fault
  std::string remark;    // said of the group when it is there
};

// One group by the decoders' rule (its keyword's first occurrence) and its
// fields at their offsets; the position of its keyword, or npos.
size_t dissectGroup(std::string_view text, const Group& group, const GroupNote& note, Dissection& d) {
  const size_t at = findKeyword(text, group.keyword);
  if (at == std::string_view::npos) {
    if (note.required)
      judge(d.add("Group", text.size(), 0, std::string(group.keyword)), "missing: the window keeps what it showed");
    return at;
  }
  const size_t end = std::min(text.find(kFrameEnd, at), text.size());
  DissectedField& g = d.add("Group", at, end - at, shown(text.substr(at, end - at)));
  if (!note.remark.empty()) judge(g, note.remark, false);
  for (const Field& field : group.fields) {
    const std::string_view chars = fieldText(text, at + field.offset, field.width);
    DissectedField& f =
        d.add(controlName(field.control), std::min(at + field.offset, text.size()), chars.size(), shown(chars));
    if (chars.size() < field.width) {
      judge(f,
            "reply ends after " + std::to_string(chars.size()) + " of " + std::to_string(field.width) + " characters");
    } else if (field.as != As::Text && !tryParseInt(chars)) {
      judge(f, invalidIntegerMessage(latin1ToUtf8(chars)));  // what the window shows
    }
  }
  return at;
}

void dissectReadCommand(std::string_view text, const ReadCommandReply& command, const GroupNote& note, Dissection& d) {
  const size_t at = dissectGroup(text, command.enable, note, d);
  if (at == std::string_view::npos) return;
  const std::string name = controlName(command.commandEdit);
  const std::string_view count = fieldText(text, at + kReadCommandCountOffset, kReadCommandCountWidth);
  DissectedField& c =
      d.add(name + ", byte count", std::min(at + kReadCommandCountOffset, text.size()), count.size(), shown(count));
  if (count.size() < kReadCommandCountWidth || !allDigits(count)) {
    judge(c, count.size() < kReadCommandCountWidth ? "reply ends inside the count"
                                                   : invalidIntegerMessage(latin1ToUtf8(count)));
    return;
  }
  const int n = (count[0] - '0') * 10 + (count[1] - '0');
  const size_t width = readCommandTextWidth(n);
  const std::string_view bytes = fieldText(text, at + kReadCommandTextOffset, width);
  DissectedField& b =
      d.add(name + ", bytes", std::min(at + kReadCommandTextOffset, text.size()), bytes.size(), shown(bytes));
  if (bytes.size() < width) {
    judge(b, "reply ends after " + std::to_string(bytes.size()) + " of " + std::to_string(width) + " characters");
  }
}

// The meter type the reply's own device group carries, if it carries one.
std::optional<int32_t> replyMeterType(std::string_view text) {
  for (const Group& group : modbusDeviceGroups()) {
    const size_t at = findKeyword(text, group.keyword);
    if (at == std::string_view::npos) continue;
    for (const Field& field : group.fields) {
      if (std::string_view(field.control) == "ComboBox17")
        return tryParseInt(fieldText(text, at + field.offset, field.width));
    }
  }
  return std::nullopt;
}

void dissectReply(std::string_view text, const ReplyLayout& layout, size_t markerAt, Dissection& d) {
  const std::string_view title = queryTitle(layout.queryWord);
  d.title = "Configuration reply " + std::string(layout.marker.substr(0, layout.queryWord.size()));
  if (layout.kind == ReplyKind::Modbus) {
    const std::string_view device = fieldText(text, markerAt + kModbusReplyMarker.size(), 1);
    if (allDigits(device)) d.title += device;
  }
  d.title += ", " + std::string(title);
  if (layout.kind != ReplyKind::CommQuery) {
    d.add("Marker", markerAt, layout.marker.size(), std::string(layout.marker) + ": " + std::string(title));
  }
  for (const Group& group : layout.groups) dissectGroup(text, group, {}, d);
  if (layout.kind != ReplyKind::Modbus) return;

  // Read back by the window for the custom meter only.
  const auto meterType = replyMeterType(text);
  GroupNote custom{false, {}};
  if (meterType && *meterType != 0) custom.remark = "not shown: the meter type is not 0 (custom)";
  for (const Group& group : customMeterGroups()) dissectGroup(text, group, custom, d);
  for (const ReadCommandReply& command : readCommandReplies()) dissectReadCommand(text, command, custom, d);
}

// The module's answers to settings and anything else it writes as text:
// "ADR:OK#", "BA1:ERR,RANGE#", "ERR:UNKNOWN#", one field per '#' group.
void dissectAnswers(std::string_view text, Dissection& d) {
  size_t at = 0;
  size_t groups = 0;
  std::string first;
  while (at < text.size()) {
    const size_t end = std::min(text.find(kFrameEnd, at), text.size());
    const std::string_view piece = text.substr(at, end - at);
    if (!piece.empty()) {
      if (groups == kMaxAnswerGroups) {
        d.add("More", at, text.size() - at, std::to_string(text.size() - at) + " more bytes");
        break;
      }
      if (first.empty()) first = shown(piece);
      ++groups;
      const size_t colon = piece.find(':');
      if (colon == std::string_view::npos) {
        d.add("Text", at, piece.size(), shown(piece));
      } else {
        const std::string_view word = piece.substr(0, colon);
        const std::string_view rest = piece.substr(colon + 1);
        DissectedField& f = d.add(shown(word), at, piece.size(), shown(rest));
        if (word == "ERR")
          judge(f, "the module refused the frame: " + shown(rest));
        else if (rest == "OK")
          judge(f, "accepted", false);
        else if (rest.starts_with("ERR"))
          judge(f, "refused: " + shown(rest.substr(std::min<size_t>(4, rest.size()))));
      }
    }
    at = end + 1;
  }
  if (groups == 0) d.add("Text", 0, text.size(), shown(text));  // separators alone
  d.title = "Configuration answer";
  if (!first.empty()) d.title += " " + first;
  if (groups > 1) d.title += " (+" + std::to_string(groups - 1) + " more)";
}

}  // namespace

std::optional<Dissection> dissectConfigFrame(std::span<const uint8_t> bytes) {
  const std::string_view text = asText(bytes);
  Dissection d;
  d.protocol = Protocol::Configuration;
  if (text.starts_with(kQueryPrefix))
    dissectQuery(text, d);
  else if (text.starts_with(kSetPrefix))
    dissectSet(text, d);
  else if (text.starts_with(kOutputPrefix))
    dissectOutput(text, d);
  else
    return std::nullopt;
  return d;
}

std::optional<Dissection> dissectConfigReply(std::span<const uint8_t> bytes) {
  const std::string_view text = asText(bytes);
  if (text.empty()) return std::nullopt;
  const bool printable = allPrintable(text);
  Dissection d;
  d.protocol = Protocol::Configuration;
  size_t markerAt = 0;
  const ReplyLayout* layout = findReply(text, markerAt);
  if (layout && (printable || holdsGroups(text, *layout, markerAt))) {
    dissectReply(text, *layout, markerAt, d);
    return d;
  }
  if (!printable) return std::nullopt;
  dissectAnswers(text, d);
  return d;
}

bool looksLikeConfigReply(std::span<const uint8_t> bytes) {
  const std::string_view text = asText(bytes);
  if (allPrintable(text) && text.find(kFrameEnd) != std::string_view::npos) return true;
  size_t markerAt = 0;
  const ReplyLayout* layout = findReply(text, markerAt);
  return layout && holdsGroups(text, *layout, markerAt);
}

}  // namespace tq::protocol
