#include "setup/rarerrors.h"

std::string RarErrorText(int code) {
    switch (code) {
    case 10:
        return "Unexpected end of the archive";
    case 11:
        return "Not enough memory";
    case 12:
        return "The archive data is damaged";
    case 13:
        return "The archive is damaged or not a RAR archive";
    case 14:
        return "Unknown archive format";
    case 15:
        return "Cannot open the archive volume";
    case 16:
        return "Cannot create the file";
    case 17:
        return "Cannot close the file";
    case 18:
        return "Read error in the archive";
    case 19:
        return "Write error (is the disk full?)";
    case 20:
        return "Buffer too small";
    case 22:
        return "The file is encrypted and needs a password";
    case 24:
        return "Wrong password for the encrypted file";
    default:
        return "Unknown error " + std::to_string(code);
    }
}

std::string fmtNome(const char* path) {
    std::string name;
    if (path == nullptr) return name;
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/')
            name.clear();
        else
            name += *p;
    }
    return name;
}
