// Number conversion of the tree file's fields, exactly as atof and atoi would
// convert the same text (leading white space skipped, conversion stopping at
// the first character that cannot continue the number, 0 for text that is no
// number), but over a character range that need not end in a NUL: the common
// plain decimals take a fast path, everything else goes through strtod /
// strtol on a terminated copy.
#pragma once

// atof of the text [begin, end).
double parseReal(const char* begin, const char* end);
// atoi of the text [begin, end).
int parseInt(const char* begin, const char* end);
