#include "setup/rarerrors.h"

#include "unrar/unrar.h"

std::string RarErrorText(int code) {
    switch (code) {
    case ERAR_END_ARCHIVE:
        return "Unexpected end of the archive";
    case ERAR_NO_MEMORY:
        return "Not enough memory";
    case ERAR_BAD_DATA:
        return "The archive data is damaged";
    case ERAR_BAD_ARCHIVE:
        return "The archive is damaged or not a RAR archive";
    case ERAR_UNKNOWN_FORMAT:
        return "Unknown archive format";
    case ERAR_EOPEN:
        return "Cannot open the archive volume";
    case ERAR_ECREATE:
        return "Cannot create the file";
    case ERAR_ECLOSE:
        return "Cannot close the file";
    case ERAR_EREAD:
        return "Read error in the archive";
    case ERAR_EWRITE:
        return "Write error (is the disk full?)";
    case ERAR_SMALL_BUF:
        return "Buffer too small";
    case ERAR_UNKNOWN:
        return "The extraction was interrupted";
    case ERAR_MISSING_PASSWORD:
        return "The file is encrypted and needs a password";
    case ERAR_EREFERENCE:
        return "The file refers to another that cannot be read";
    case ERAR_BAD_PASSWORD:
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
