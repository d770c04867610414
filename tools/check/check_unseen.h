// What a player cannot see in a name or a value: invisible characters (every format character,
// Unicode's category Cf: zero-width spaces and joiners, bidirectional marks and overrides, the
// byte-order mark, the soft hyphen; the other code points that Unicode says show as nothing, like
// the Hangul fillers and the variation selectors; and the line and paragraph separators), letters
// of another script that look like Latin ones (Cyrillic "а" beside Latin "a"), and punctuation,
// digits and letters that look like ASCII ones (a dash or U+2212 MINUS SIGN for "-", U+037E GREEK
// QUESTION MARK for ";", the full-width forms), and combining marks, which stand over or under the
// character before them (an `i` with U+0307 COMBINING DOT ABOVE looks like one letter). The validator
// writes the invisible ones escaped and names them all in plain words; a key is matched against the
// game's keys as it looks.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Whether `code_point` shows as nothing, or moves or reorders what follows it, on a terminal.
bool check_is_invisible(uint32_t code_point) noexcept;

// How report lines write an invisible code point: "<U+200B>".
std::string check_invisible_escape(uint32_t code_point);

// `text` as a player sees it: invisible characters and combining marks left out, look-alike punctuation and full-width
// forms taken as the ASCII they look like ("‐" as "-", "；" as ";", "ｍ" as "m"), and letters of
// another script that look like Latin ones taken as those, in their case (Cyrillic "а" as "a", "А" as
// "A"), where they stand among Latin letters or every letter looks Latin. Text that holds none of
// them comes back as it is.
std::string check_as_seen(std::string_view text);

// What `text` holds that cannot be seen or told apart, in plain words: `invisible` describes the text
// piece by piece when it holds invisible characters ("hair_primary followed by an invisible U+200B
// ZERO WIDTH SPACE"), "" otherwise; `characters` names each look-alike and combining mark, in order
// ("its 2nd letter, а, is Cyrillic U+0430, not the Latin a", "its 1st character, −, is U+2212 MINUS
// SIGN, not the ASCII -", "its 3rd character, i, carries U+0307 COMBINING DOT ABOVE, which the game
// reads as a character of its own"), up to a few, and `more` counts the others. `whose` starts each name ("its", "this
// line's"). Made visible (check_visible) wherever it quotes `text`.
struct Check_Unseen {
  std::string invisible;
  std::vector<std::string> characters;
  size_t more = 0;
};
Check_Unseen check_unseen(std::string_view text, std::string_view whose = "its");

// The same as one phrase, "" when there is nothing: the invisible description, then the names,
// joined by "; ".
std::string check_unseen_words(std::string_view text);

// "U+0131".
std::string check_code_point(uint32_t code_point);
// "1st", "2nd", "11th".
std::string check_ordinal(size_t n);

// The name of a white-space code point that is not ASCII ("U+00A0 NO-BREAK SPACE"); "" for ASCII.
std::string check_white_space_name(uint32_t code_point);

// Whether `code_point` ends a line in some editors and not for the game, which ends lines at "\n"
// alone: U+2028 LINE SEPARATOR, U+2029 PARAGRAPH SEPARATOR, U+0085 NEXT LINE.
bool check_is_line_separator(uint32_t code_point) noexcept;
// "U+2028 LINE SEPARATOR".
std::string check_line_separator_name(uint32_t code_point);
