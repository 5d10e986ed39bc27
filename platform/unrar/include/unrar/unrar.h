#pragma once
/*
 * The UnRAR library's published archive interface (RAROpenArchive ... RARCloseArchive), implemented on
 * libarchive. Records, codes and callback signatures are those of the classic DLL interface, so code
 * written against that interface works unchanged.
 *
 * Differences from the original library, all because libarchive does not expose or support them:
 * - Archive comments are not read: CmtState and CmtSize are always 0.
 * - Encrypted file data cannot be decrypted. An encrypted entry fails with ERAR_MISSING_PASSWORD when
 *   no password was set, and with ERAR_BAD_PASSWORD when one was (it could not be used). Nothing is
 *   written for it. Archives with encrypted headers fail to open with ERAR_MISSING_PASSWORD.
 * - Self-extracting archives (a program before the RAR signature) are not read.
 * - A file split over volumes is reported once, with the header of its first part; PackSize is that
 *   part's packed size. RAR_OM_LIST_INCSPLIT behaves as RAR_OM_LIST.
 * - Cancelling from the process-data callback (returning 0) ends the file with ERAR_UNKNOWN.
 *
 * What is checked, whatever libarchive checks itself:
 * - Every header against its CRC, every size in it against what is left of its volume. The archive
 *   has ended (ERAR_END_ARCHIVE) only when the end block of its last volume is reached; an archive that
 *   ends before that, or whose header is damaged, gives ERAR_BAD_DATA. After a failed RARReadHeader
 *   the record names the volume (ArcName) and, when it can still be read, the file whose header broke
 *   (FileName); every later call returns the same code.
 * - Every file's data against its size and its checksum (CRC-32, or BLAKE2sp where the archive stores
 *   it; for a split file, the checksum of the whole file in the header of its last part). Damaged data
 *   gives ERAR_BAD_DATA and leaves no file.
 * - A next volume that is missing, or there but not the next volume of this set, is asked for through
 *   the volume callback; when the callback gives up (or there is none) the operation ends with
 *   ERAR_EOPEN (missing) or ERAR_BAD_ARCHIVE (not a volume of this set), and every later call on the
 *   handle returns it too.
 * - Names come out as UTF-8 whatever the locale: RAR 4 Unicode names are decoded, 8-bit names that
 *   are not UTF-8 are read as CP437. A name longer than FileName holds is cut at a character boundary.
 *
 * Extraction never writes outside the destination: entries with absolute names or ".." components,
 * names that would pass through a symbolic link, and symbolic links whose targets, resolved against the
 * disk, lead (or could later lead) outside the destination are refused with ERAR_ECREATE. A file that
 * fails is removed, never left half written. Modes go through the process umask; set-user-id,
 * set-group-id and sticky bits are never restored. RAR 5 hard links become hard links to the file
 * extracted before (or copies of it where the file system has none).
 *
 * Handles are numbers, never reused: a stale or doubled handle gives ERAR_BAD_ARCHIVE (ERAR_ECLOSE
 * from RARCloseArchive). No C++ exception leaves an entry point, and an exception thrown by a callback
 * ends the operation with ERAR_UNKNOWN.
 */

#ifdef __cplusplus
extern "C" {
#endif

#ifdef _WIN32
#define PASCAL __stdcall
#else
#define PASCAL
#endif

#define ERAR_SUCCESS 0
#define ERAR_END_ARCHIVE 10
#define ERAR_NO_MEMORY 11
#define ERAR_BAD_DATA 12
#define ERAR_BAD_ARCHIVE 13
#define ERAR_UNKNOWN_FORMAT 14
#define ERAR_EOPEN 15
#define ERAR_ECREATE 16
#define ERAR_ECLOSE 17
#define ERAR_EREAD 18
#define ERAR_EWRITE 19
#define ERAR_SMALL_BUF 20
#define ERAR_UNKNOWN 21
#define ERAR_MISSING_PASSWORD 22
#define ERAR_EREFERENCE 23
#define ERAR_BAD_PASSWORD 24

#define RAR_OM_LIST 0
#define RAR_OM_EXTRACT 1
#define RAR_OM_LIST_INCSPLIT 2

#define RAR_SKIP 0
#define RAR_TEST 1
#define RAR_EXTRACT 2

#define RAR_VOL_ASK 0
#define RAR_VOL_NOTIFY 1

/* RARHeaderData.Flags */
#define RHDF_SPLITBEFORE 0x01
#define RHDF_SPLITAFTER 0x02
#define RHDF_ENCRYPTED 0x04
#define RHDF_SOLID 0x10
#define RHDF_DIRECTORY 0x20

/* RARHeaderData.HostOS */
#define RAR_HOST_MSDOS 0
#define RAR_HOST_OS2 1
#define RAR_HOST_WIN32 2
#define RAR_HOST_UNIX 3

typedef void* HANDLE;

/* The volume callback: Mode RAR_VOL_ASK when the next volume is missing (ArcName is its full path, in a
 * buffer of RAR_VOLNAME_BUFSIZE bytes the callback may rewrite; non-zero tries again, 0 gives up) or
 * RAR_VOL_NOTIFY when it has been opened (non-zero continues, 0 ends the operation). */
#define RAR_VOLNAME_BUFSIZE 4096
typedef int(PASCAL* CHANGEVOLPROC)(char* ArcName, int Mode);
/* The data callback: each unpacked block; non-zero continues, 0 cancels. */
typedef int(PASCAL* PROCESSDATAPROC)(unsigned char* Addr, int Size);

struct RARHeaderData {
    char ArcName[260];
    char FileName[260];
    unsigned int Flags;
    unsigned int PackSize;
    unsigned int UnpSize;
    unsigned int HostOS;
    unsigned int FileCRC;
    unsigned int FileTime;
    unsigned int UnpVer;
    unsigned int Method;
    unsigned int FileAttr;
    char* CmtBuf;
    unsigned int CmtBufSize;
    unsigned int CmtSize;
    unsigned int CmtState;
};

struct RAROpenArchiveData {
    char* ArcName;
    unsigned int OpenMode;
    unsigned int OpenResult;
    char* CmtBuf;
    unsigned int CmtBufSize;
    unsigned int CmtSize;
    unsigned int CmtState;
};

HANDLE PASCAL RAROpenArchive(struct RAROpenArchiveData* ArchiveData);
int PASCAL RARCloseArchive(HANDLE hArcData);
int PASCAL RARReadHeader(HANDLE hArcData, struct RARHeaderData* HeaderData);
int PASCAL RARProcessFile(HANDLE hArcData, int Operation, char* DestPath, char* DestName);
void PASCAL RARSetChangeVolProc(HANDLE hArcData, CHANGEVOLPROC ChangeVolProc);
void PASCAL RARSetProcessDataProc(HANDLE hArcData, PROCESSDATAPROC ProcessDataProc);
void PASCAL RARSetPassword(HANDLE hArcData, char* Password);
int PASCAL RARGetDllVersion(void);

/* Beyond the classic interface: the full 64-bit sizes of the current file's header, which the record's
 * 32-bit fields cannot hold for files of 4 GiB and more. Returns 0 on success. */
int PASCAL RARGetFileSize64(HANDLE hArcData, unsigned long long* UnpSize, unsigned long long* PackSize);

#ifdef __cplusplus
}
#endif
