// Text services. Texts are GBK (ANSI code page) byte strings; positions and
// lengths count bytes and are 1-based. Searching, replacing, splitting,
// trimming and case services walk two-byte characters as units (a byte of
// 0x80 or more takes the next byte with it), so no match or case change ever
// starts on the second byte of a character. TextLeft/Right/Mid cut at plain
// byte positions.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>

#include "runtime/value.h"

namespace tavrel {

std::int32_t TextLength(TextView text);
Text ConcatText(std::initializer_list<TextView> parts);
Text DuplicateText(TextView text);
// -1, 0 or 1 by unsigned byte order.
std::int32_t CompareText(TextView a, TextView b);
std::int32_t CompareBytes(const void* a, const void* b, std::int32_t count);

Text TextLeft(TextView text, std::int32_t n);
Text TextRight(TextView text, std::int32_t n);
Text TextMid(TextView text, std::int32_t start, std::int32_t n);
Text CharFromCode(std::int32_t byteValue);
// The byte at a 1-based position as a signed value; 0 outside the text.
std::int32_t CharCode(TextView text, std::optional<std::int32_t> position = std::nullopt);

// 1-based position of the first occurrence at or after start, or -1. A start
// on the second byte of a character moves on to the next character; an empty
// sought is found at the first place searched.
std::int32_t FindText(TextView text, TextView sought, std::optional<std::int32_t> start = std::nullopt,
                      std::optional<Logical> ignoreCase = std::nullopt);
// 1-based position of the last occurrence lying wholly within the first
// (end - 1) bytes (the whole text when end is not given), or -1.
std::int32_t FindTextLast(TextView text, TextView sought, std::optional<std::int32_t> end = std::nullopt,
                          std::optional<Logical> ignoreCase = std::nullopt);

Text ToUpper(TextView text);
Text ToLower(TextView text);
// Removes ASCII spaces and the full-width space (0xA1 0xA1) at both ends.
Text TrimSpaces(TextView text);
// Replaces occurrences of sought; by default all of them, ignoring ASCII case.
// A negative count means all, like a left-out one.
Text ReplaceText(TextView text, TextView sought, std::optional<TextView> replacement = std::nullopt,
                 std::optional<std::int32_t> start = std::nullopt, std::optional<std::int32_t> count = std::nullopt,
                 std::optional<Logical> caseSensitive = std::nullopt);
// Splits on the separator (default ","); a trailing separator adds no empty
// element; an empty text gives no elements. A negative maximum means no limit.
Array<Text> SplitText(TextView text, std::optional<TextView> separator = std::nullopt,
                      std::optional<std::int32_t> maxCount = std::nullopt);
Text SpaceText(std::int32_t n);

// Length in bytes of the character that starts at text[i] (1 or 2), for
// routines outside the runtime that walk texts the same way.
std::size_t CharWidthAt(TextView text, std::size_t i);

}  // namespace tavrel
