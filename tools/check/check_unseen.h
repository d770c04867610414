// What a player cannot see in a name or a value: invisible characters (every format character,
// Unicode's category Cf: zero-width spaces and joiners, bidirectional marks and overrides, the
// byte-order mark, the soft hyphen; the other code points that Unicode says show as nothing, like
// the Hangul fillers and the variation selectors; and the line and paragraph separators), and
// letters of another script that look like Latin ones (Cyrillic "а" beside Latin "a"). The validator
// writes the first escaped and names both in plain words; a key is matched against the game's keys
// as it looks.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// Whether `code_point` shows as nothing, or moves or reorders what follows it, on a terminal.
bool check_is_invisible(uint32_t code_point) noexcept;

// How report lines write an invisible code point: "<U+200B>".
std::string check_invisible_escape(uint32_t code_point);

// `text` as a player sees it: invisible characters left out, and letters of another script that look
// like Latin ones taken as those, in their case (Cyrillic "а" as "a", "А" as "A"), where they stand
// among Latin letters or every letter looks Latin. Text that holds neither comes back as it is.
std::string check_as_seen(std::string_view text);

// Plain words on what `text` holds that cannot be seen or told apart, "" when nothing:
// "hair_primary followed by an invisible U+200B ZERO WIDTH SPACE", "its 2nd letter, а, is Cyrillic
// U+0430, not the Latin a". Made visible (check_visible) wherever it quotes `text`.
std::string check_unseen_words(std::string_view text);
