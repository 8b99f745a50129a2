// The small XML scanner that reads the language file. It knows nodes,
// element names, double-quoted attributes and element text, nothing more.
// Every routine works on a byte range [pos, end) and never reads at or
// beyond end, so a damaged file cannot make it run off its buffer.
#pragma once
#include <stddef.h>

// The next node at or after pos: a "<" that is not followed by "/".
// Null when there is none before end.
const char *XmlNextNode(const char *pos, const char *end);

// The node at pos, or the next node after it, whose text right after "<"
// begins with name followed by ">" or a space. Null when there is none.
const char *XmlFindElement(const char *pos, const char *end, const char *name);

// Copies the value of attribute name of the node into value (zero-terminated).
// The node must begin with "<". Within the node (up to its first ">") the
// first occurrence of name with a space before it and "=" plus a double quote
// after it counts; at most one space may stand before and after the "=".
// The value runs to the next double quote and must be shorter than
// valueSize. On failure value holds the empty text and the result is false.
bool XmlReadAttribute(const char *node, const char *end, const char *name, char *value,
                      size_t valueSize);

// Copies the node's text, from after its first ">" to the next "<", into
// text (zero-terminated), decoding "&lt;", "&gt;" and "&amp;". The raw text
// must be shorter than textSize. On failure text holds the empty text and
// the result is false.
bool XmlReadNodeText(const char *node, const char *end, char *text, size_t textSize);
