#pragma once
// The info file's text: bytes in the OEM code page (CP437), shown line by line. Plain functions,
// no window needed.
#include <QChar>
#include <QString>

#include <string>
#include <string_view>
#include <vector>

namespace infotext {

// The character a CP437 byte stands for, as the OEM screen font draws it: the graphic symbols for
// the control range (smileys, card suits, arrows; 0x7F the house), except that 0x09 stays a tab.
// 0x00 maps to U+0000 (the text ends there when it is loaded).
char16_t oemToUnicode(unsigned char byte);
QString fromOem(std::string_view bytes);

// The lines of a text file: a line ends at CR, LF or CRLF; a final line break adds no empty line;
// the text ends at the first NUL byte.
std::vector<std::string> splitLines(std::string_view bytes);

// "Can`t load file " followed by the info file's name, cut to 255 characters.
QString loadFailureLine(const std::string& infoFile);

// The text the viewer's box shows for the file's bytes: its lines, each byte through the table,
// joined with line feeds.
QString memoText(std::string_view bytes);

} // namespace infotext
