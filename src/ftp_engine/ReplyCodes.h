#pragma once

#include <QString>

#include <optional>

// Reply codes are compared as codes: a three-digit code against a pattern of
// three characters where "X" (any case) stands for any digit.
namespace ReplyCodes {

bool Matches(const QString &code, const QString &pattern);

// Whether the code is one of the "-"-separated entries of a success-code
// field ("220-1XX[N]": only "220" is a code entry there).
bool IsSuccess(const QString &code, const QString &successCodes);

// The action of a reply map ("425-426[R]5XX[E]...") for a code: the group
// naming the exact code wins, then NNX, then NXX, then XXX. The action is the
// bracketed text, upper-cased and trimmed; an empty text when the matching
// group has no complete bracket. Nothing when no group names the code.
std::optional<QString> FindAction(const QString &replyMap, const QString &code);

// The map with every "$def" (any case) replaced by the default map.
QString ExpandDefault(const QString &replyMap, const QString &defaultMap);

// The path a 257 reply names ("257 \"/a \"\"b\"\"\" is current"; doubled quotes
// stand for one), or "" when it names none or a path that does not start at the root.
QString QuotedAbsolutePath(const QString &line);

} // namespace ReplyCodes
