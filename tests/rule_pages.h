#pragma once

// The pages of the lookup tables, each with the value its lookup finds. The rule tests check
// the lookups on them; the analysis test checks that the window shows what the analysis of
// each of them says.

#include <string>
#include <vector>

struct LookupCase {
    const char* name;
    std::string page;
    std::string value; // Absent when the tag counts as absent
};

inline const std::string Absent = "<absent>";

inline const std::vector<LookupCase> TitleCases = {
    {"plain", "<head><title>Hello</title>", "Hello"},
    {"capitals keep their case", "<TITLE>Hello World</TiTlE>", "Hello World"},
    {"empty", "<title></title>", ""},
    {"over a line break", "<title>a\r\nb</title>", "a\r\nb"},
    {"in any script",
     "<title>Caf\xC3\xA9 \xD0\xA5\xD0\xBB\xD0\xB5\xD0\xB1 \xE6\x97\xA5 \xF0\x9F\x98\x80</title>",
     "Caf\xC3\xA9 \xD0\xA5\xD0\xBB\xD0\xB5\xD0\xB1 \xE6\x97\xA5 \xF0\x9F\x98\x80"},
    {"the first closing tag", "<title>a</title>b</title>", "a"},
    {"the first title", "<title>a</title><title>b</title>", "a"},
    {"no closing tag", "<title>Hello", Absent},
    {"closing tag only before", "</title><title>Hello", Absent},
    {"attributes", "<title lang=en>Hello</title>", Absent},
    {"no title", "<html></html>", Absent},
    {"empty page", "", Absent},
};

// Name first, for the tag word "author".
inline const std::vector<LookupCase> NameFirstCases = {
    {"ends with >", "<meta name=\"author\" content=\"Ann\">", "Ann"},
    {"ends with />", "<meta name=\"author\" content=\"Ann\"/>", "Ann"},
    {"ends with space />", "<meta name=\"author\" content=\"Ann\" />", "Ann"},
    {"space before > keeps the quote", "<meta name=\"author\" content=\"Ann\" >", "Ann\""},
    {"capitals", "<META NAME=\"AUTHOR\" CONTENT=\"Ann Lee\">", "Ann Lee"},
    {"tag word capitalised", "<meta name=\"Author\" content=\"Ann\">", "Ann"},
    {"quotes are skipped unread", "<meta name=\"author\" content='Ann'>", "Ann"},
    {"no quotes lose a character each side", "<meta name=\"author\" content=Ann>", "n"},
    {"characters are skipped, not bytes",
     "<meta name=\"author\" content=\xC2\xAB\xD0\x90\xD0\xBD\xD0\xBD\xF0\x9F\x98\x80>",
     "\xD0\x90\xD0\xBD\xD0\xBD"},
    {"empty value", "<meta name=\"author\" content=\"\">", ""},
    {"> inside the value", "<meta name=\"author\" content=\"x > y\">", "x"},
    {"over a line break", "<meta name=\"author\" content=\"a\r\nb\">", "a\r\nb"},
    {"further attribute", "<meta name=\"author\" content=\"abc\" lang=\"en\">", "abc\" lang=\"en"},
    {"the first of two",
     "<!-- <meta name=\"author\" content=\"A\"> --><meta name=\"author\" content=\"B\">", "A"},
    {"single quotes around the name", "<meta name='author' content=\"Ann\">", Absent},
    {"two spaces", "<meta  name=\"author\" content=\"Ann\">", Absent},
    {"spaces around =", "<meta name = \"author\" content=\"Ann\">", Absent},
    {"line break between attributes", "<meta name=\"author\"\r\ncontent=\"Ann\">", Absent},
    {"content first", "<meta content=\"Ann\" name=\"author\">", Absent},
    {"no > after it", "<meta name=\"author\" content=\"Ann\"", Absent},
    // Below zero by the formula: an empty value that counts as present.
    {"> right after content=", "<meta name=\"author\" content=>", ""},
    {"one quote, then >", "<meta name=\"author\" content=\">", ""},
    {"one quote, then />", "<meta name=\"author\" content=\"/>", ""},
};

// Content first, for the tag word "robots".
inline const std::vector<LookupCase> ContentFirstCases = {
    {"ends with >", "<meta content=\"noindex\" name=\"robots\">", "noindex"},
    {"ends with />", "<meta content=\"noindex\" name=\"robots\"/>", "noindex"},
    {"ends with space />", "<meta content=\"noindex\" name=\"robots\" />", "noindex"},
    {"capitals", "<META CONTENT=\"NoIndex\" NAME=\"ROBOTS\">", "NoIndex"},
    {"quotes are skipped unread", "<meta content='abc' name=\"robots\">", "abc"},
    {"empty value", "<meta content=\"\" name=\"robots\">", ""},
    {"over a line break", "<meta content=\"a\r\nb\" name=\"robots\">", "a\r\nb"},
    {"further attribute between", "<meta content=\"abc\" lang=\"en\" name=\"robots\">",
     "abc\" lang=\"en"},
    {"> first wins over an earlier />",
     "<meta content=\"a\" name=\"robots\" /><meta content=\"b\" name=\"robots\">", "b"},
    {"/> wins over an earlier space />",
     "<meta content=\"a\" name=\"robots\" /><meta content=\"b\" name=\"robots\"/>", "b"},
    {"of the same ending the first",
     "<meta content=\"a\" name=\"robots\"><meta content=\"b\" name=\"robots\">", "a"},
    {"space before >", "<meta content=\"noindex\" name=\"robots\" >", Absent},
    {"single quotes around the name", "<meta content=\"x\" name='robots'>", Absent},
    {"spaces around =", "<meta content=\"x\" name = \"robots\">", Absent},
    {"no <meta content= before it", "<meta lang=\"en\" name=\"robots\">", Absent},
    // Another tag's start: the value is cut from that tag's text, as the rule says.
    {"another tag's start",
     "<meta content=\"x\" name=\"author\"><meta lang=\"en\" name=\"robots\">", "x"},
    {"name first", "<meta name=\"robots\" content=\"noindex\">", Absent},
};

// Content first, for the tag word "description", whose name text is the longest.
inline const std::vector<LookupCase> LongContentFirstCases = {
    {"> inside the value drops 20",
     "<meta content=\"" + std::string(23, 'a') + ">b\" name=\"description\">", "aaa"},
    {"> too close gives an empty value",
     "<meta content=\"" + std::string(5, 'a') + ">b\" name=\"description\">", ""},
    {"20 characters dropped, not bytes",
     "<meta content=\"" + std::string(3, 'a') +
         [] {
             std::string letters;
             for (int i = 0; i < 20; ++i)
                 letters += "\xD1\x8F"; // я
             return letters;
         }() +
         ">b\" name=\"description\">",
     "aaa"},
};

// Either order, for the tag word "robots": the content-first lookup runs only when the page
// does not hold the name-first search text at all.
inline const std::vector<LookupCase> EitherOrderCases = {
    {"name first", "<meta name=\"robots\" content=\"a\">", "a"},
    {"content first", "<meta content=\"b\" name=\"robots\">", "b"},
    {"name first wins over an earlier content first",
     "<meta content=\"b\" name=\"robots\"><meta name=\"robots\" content=\"a\">", "a"},
    {"name first without its end is absent, and content first is not tried",
     "<meta content=\"b\" name=\"robots\"><meta name=\"robots\" content=\"a\"", Absent},
    {"neither", "<meta name=\"author\" content=\"a\">", Absent},
};
