/*
 * Declarations of the Source Code Control API (version 1.3) as this provider
 * uses them: types, result codes, status and capability bits, callbacks and the
 * exported functions. Exports and callbacks use the C calling convention.
 *
 * The Windows types keep their Windows widths on every system: LONG and BOOL
 * are 32-bit signed, DWORD 32-bit unsigned.
 */
#ifndef SCC_API_H
#define SCC_API_H

#include <stdint.h>

#if defined(_WIN32)
typedef long LONG;
typedef unsigned long DWORD;
#if defined(_WIN64)
typedef long long LONG_PTR;
#else
typedef long LONG_PTR;
#endif
#define SCC_CALL __cdecl
#if defined(SCC_BUILDING)
#define SCC_API
#else
#define SCC_API __declspec(dllimport)
#endif
#else
typedef int32_t LONG;
typedef uint32_t DWORD;
typedef intptr_t LONG_PTR;
#define SCC_CALL
#define SCC_API __attribute__((visibility("default")))
#endif

typedef int BOOL;
typedef LONG* LPLONG;
typedef BOOL* LPBOOL;
typedef void* LPVOID;
typedef char* LPSTR;
typedef const char* LPCSTR;
struct HWND__;
typedef struct HWND__* HWND;

typedef LONG SCCRTN;
typedef LPVOID LPCMDOPTS;

/* Result codes. */
#define SCC_OK 0
#define SCC_I_ADV_SUPPORT 1
#define SCC_I_OPERATIONCANCELED 2
#define SCC_I_FILEDIFFERS 6
#define SCC_E_INITIALIZEFAILED -1
#define SCC_E_UNKNOWNPROJECT -2
#define SCC_E_COULDNOTCREATEPROJECT -3
#define SCC_E_NOTCHECKEDOUT -4
#define SCC_E_ALREADYCHECKEDOUT -5
#define SCC_E_FILEISLOCKED -6
#define SCC_E_FILEOUTEXCLUSIVE -7
#define SCC_E_ACCESSFAILURE -8
#define SCC_E_CHECKINCONFLICT -9
#define SCC_E_FILEALREADYEXISTS -10
#define SCC_E_FILENOTCONTROLLED -11
#define SCC_E_FILEISCHECKEDOUT -12
#define SCC_E_NOSPECIFIEDVERSION -13
#define SCC_E_OPNOTSUPPORTED -14
#define SCC_E_NONSPECIFICERROR -15
#define SCC_E_OPNOTPERFORMED -16
#define SCC_E_TYPENOTSUPPORTED -17
#define SCC_E_VERIFYMERGE -18
#define SCC_E_FIXMERGE -19
#define SCC_E_SHELLFAILURE -20
#define SCC_E_INVALIDUSER -21
#define SCC_E_PROJECTALREADYOPEN -22
#define SCC_E_PROJSYNTAXERR -23
#define SCC_E_INVALIDFILEPATH -24
#define SCC_E_PROJNOTOPEN -25
#define SCC_E_NOTAUTHORIZED -26
#define SCC_E_FILESYNTAXERR -27
#define SCC_E_FILENOTEXIST -28
#define SCC_E_CONNECTIONFAILURE -29
#define SCC_E_UNKNOWNERROR -30
#define SCC_E_BACKGROUNDGETINPROGRESS -31

/* Version: major in the high word, minor in the low word. */
#define SCC_VER_MAJOR 1
#define SCC_VER_MINOR 3
#define SCC_VER_NUM ((SCC_VER_MAJOR << 16) | SCC_VER_MINOR)

/* Host buffer sizes, terminator excluded. */
#define SCC_NAME_LEN 31
#define SCC_AUXLABEL_LEN 31
#define SCC_USER_LEN 31
#define SCC_PRJPATH_LEN 300

/* Capability bits. */
#define SCC_CAP_REMOVE 0x00000001L
#define SCC_CAP_RENAME 0x00000002L
#define SCC_CAP_DIFF 0x00000004L
#define SCC_CAP_HISTORY 0x00000008L
#define SCC_CAP_PROPERTIES 0x00000010L
#define SCC_CAP_RUNSCC 0x00000020L
#define SCC_CAP_GETCOMMANDOPTIONS 0x00000040L
#define SCC_CAP_QUERYINFO 0x00000080L
#define SCC_CAP_GETEVENTS 0x00000100L
#define SCC_CAP_GETPROJPATH 0x00000200L
#define SCC_CAP_ADDFROMSCC 0x00000400L
#define SCC_CAP_COMMENTCHECKOUT 0x00000800L
#define SCC_CAP_COMMENTCHECKIN 0x00001000L
#define SCC_CAP_COMMENTADD 0x00002000L
#define SCC_CAP_COMMENTREMOVE 0x00004000L
#define SCC_CAP_TEXTOUT 0x00008000L
#define SCC_CAP_POPULATELIST 0x02000000L
#define SCC_CAP_COMMENTPROJECT 0x04000000L
#define SCC_CAP_DIFFALWAYS 0x10000000L
#define SCC_CAP_REENTRANT 0x40000000L

/* File status bits. */
#define SCC_STATUS_INVALID -1L
#define SCC_STATUS_NOTCONTROLLED 0x0000L
#define SCC_STATUS_CONTROLLED 0x0001L
#define SCC_STATUS_CHECKEDOUT 0x0002L
#define SCC_STATUS_OUTOTHER 0x0004L
#define SCC_STATUS_OUTEXCLUSIVE 0x0008L
#define SCC_STATUS_OUTMULTIPLE 0x0010L
#define SCC_STATUS_OUTOFDATE 0x0020L
#define SCC_STATUS_DELETED 0x0040L
#define SCC_STATUS_LOCKED 0x0080L
#define SCC_STATUS_MERGED 0x0100L
#define SCC_STATUS_SHARED 0x0200L
#define SCC_STATUS_PINNED 0x0400L
#define SCC_STATUS_MODIFIED 0x0800L
#define SCC_STATUS_OUTBYUSER 0x1000L

/* Kinds of text sent to the host's output callback. */
#define SCC_MSG_INFO 1
#define SCC_MSG_WARNING 2
#define SCC_MSG_ERROR 3
#define SCC_MSG_STATUS 4

/* A host may pass any int as a command: in C++ the enum takes every int value. */
#ifdef __cplusplus
enum SCCCOMMAND : int {
#else
enum SCCCOMMAND {
#endif
    SCC_COMMAND_GET,
    SCC_COMMAND_CHECKOUT,
    SCC_COMMAND_CHECKIN,
    SCC_COMMAND_UNCHECKOUT,
    SCC_COMMAND_ADD,
    SCC_COMMAND_REMOVE,
    SCC_COMMAND_DIFF,
    SCC_COMMAND_HISTORY,
    SCC_COMMAND_RENAME,
    SCC_COMMAND_PROPERTIES,
    SCC_COMMAND_OPTIONS
};

typedef LONG(SCC_CALL* LPTEXTOUTPROC)(LPCSTR lpText, DWORD dwMsgKind);
typedef BOOL(SCC_CALL* POPLISTFUNC)(LPVOID pvCallerData, BOOL bAddKeep, LONG nStatus,
                                    LPCSTR lpFileName);
typedef BOOL(SCC_CALL* POPDIRLISTFUNC)(LPVOID pvCallerData, BOOL bFolder, LPCSTR lpName);
typedef BOOL(SCC_CALL* QUERYCHANGESFUNC)(LPVOID pvCallerData, LPVOID pChangesData);

#ifdef __cplusplus
extern "C" {
#endif

SCC_API LONG SCC_CALL SccGetVersion(void);
SCC_API SCCRTN SCC_CALL SccInitialize(LPVOID* ppContext, HWND hWnd, LPCSTR lpCallerName,
                                      LPSTR lpSccName, LPLONG lpSccCaps, LPSTR lpAuxPathLabel,
                                      LPLONG pnCheckoutCommentLen, LPLONG pnCommentLen);
SCC_API SCCRTN SCC_CALL SccUninitialize(LPVOID pContext);
SCC_API SCCRTN SCC_CALL SccOpenProject(LPVOID pContext, HWND hWnd, LPSTR lpUser, LPSTR lpProjName,
                                       LPCSTR lpLocalProjPath, LPSTR lpAuxProjPath,
                                       LPCSTR lpComment, LPTEXTOUTPROC lpTextOutProc, LONG dwFlags);
SCC_API SCCRTN SCC_CALL SccCloseProject(LPVOID pContext);
SCC_API SCCRTN SCC_CALL SccCheckout(LPVOID pContext, HWND hWnd, LONG nFiles, LPCSTR* lpFileNames,
                                    LPCSTR lpComment, LONG fOptions, LPVOID pvOptions);
SCC_API SCCRTN SCC_CALL SccUncheckout(LPVOID pContext, HWND hWnd, LONG nFiles, LPCSTR* lpFileNames,
                                      LONG fOptions, LPVOID pvOptions);
SCC_API SCCRTN SCC_CALL SccCheckin(LPVOID pContext, HWND hWnd, LONG nFiles, LPCSTR* lpFileNames,
                                   LPCSTR lpComment, LONG fOptions, LPVOID pvOptions);
SCC_API SCCRTN SCC_CALL SccAdd(LPVOID pContext, HWND hWnd, LONG nFiles, LPCSTR* lpFileNames,
                               LPCSTR lpComment, LONG* pfOptions, LPVOID pvOptions);
SCC_API SCCRTN SCC_CALL SccRemove(LPVOID pContext, HWND hWnd, LONG nFiles, LPCSTR* lpFileNames,
                                  LPCSTR lpComment, LONG fOptions, LPVOID pvOptions);
SCC_API SCCRTN SCC_CALL SccGet(LPVOID pContext, HWND hWnd, LONG nFiles, LPCSTR* lpFileNames,
                               LONG fOptions, LPVOID pvOptions);
SCC_API SCCRTN SCC_CALL SccDiff(LPVOID pContext, HWND hWnd, LPCSTR lpFileName, LONG fOptions,
                                LPVOID pvOptions);
SCC_API SCCRTN SCC_CALL SccDirDiff(LPVOID pContext, HWND hWnd, LPCSTR lpDirName, LONG dwFlags,
                                   LPVOID pvOptions);
SCC_API SCCRTN SCC_CALL SccHistory(LPVOID pContext, HWND hWnd, LONG nFiles, LPCSTR* lpFileNames,
                                   LONG fOptions, LPVOID pvOptions);
SCC_API SCCRTN SCC_CALL SccQueryInfo(LPVOID pContext, LONG nFiles, LPCSTR* lpFileNames,
                                     LPLONG lpStatus);
SCC_API SCCRTN SCC_CALL SccDirQueryInfo(LPVOID pContext, LONG nDirs, LPCSTR* lpDirNames,
                                        LPLONG lpStatus);
SCC_API SCCRTN SCC_CALL SccGetEvents(LPVOID pContext, LPSTR lpFileName, LPLONG lpStatus,
                                     LPLONG pnEventsRemaining);
SCC_API SCCRTN SCC_CALL SccRunScc(LPVOID pContext, HWND hWnd, LONG nFiles, LPCSTR* lpFileNames);
SCC_API SCCRTN SCC_CALL SccGetProjPath(LPVOID pContext, HWND hWnd, LPSTR lpUser, LPSTR lpProjName,
                                       LPSTR lpLocalPath, LPSTR lpAuxProjPath,
                                       BOOL bAllowChangePath, LPBOOL pbNew);
SCC_API SCCRTN SCC_CALL SccGetCommandOptions(LPVOID pContext, HWND hWnd, enum SCCCOMMAND iCommand,
                                             LPCMDOPTS* ppvOptions);
SCC_API SCCRTN SCC_CALL SccBeginBatch(void);
SCC_API SCCRTN SCC_CALL SccEndBatch(void);
SCC_API SCCRTN SCC_CALL SccRename(LPVOID pContext, HWND hWnd, LPCSTR lpFileName, LPCSTR lpNewName);
SCC_API SCCRTN SCC_CALL SccAddFromScc(LPVOID pContext, HWND hWnd, LPLONG pnFiles,
                                      LPCSTR** lplpFileNames);
SCC_API SCCRTN SCC_CALL SccProperties(LPVOID pContext, HWND hWnd, LPCSTR lpFileName);
SCC_API SCCRTN SCC_CALL SccPopulateList(LPVOID pContext, enum SCCCOMMAND nCommand, LONG nFiles,
                                        LPCSTR* lpFileNames, POPLISTFUNC pfnPopulate,
                                        LPVOID pvCallerData, LPLONG lpStatus, LONG fOptions);
SCC_API SCCRTN SCC_CALL SccSetOption(LPVOID pContext, LONG nOption, LONG_PTR dwVal);
SCC_API SCCRTN SCC_CALL SccCreateSubProject(LPVOID pContext, HWND hWnd, LPSTR lpUser,
                                            LPCSTR lpParentProjPath, LPCSTR lpSubProjName,
                                            LPSTR lpAuxProjPath, LPSTR lpSubProjPath);
SCC_API SCCRTN SCC_CALL SccGetParentProjectPath(LPVOID pContext, HWND hWnd, LPSTR lpUser,
                                                LPCSTR lpProjPath, LPSTR lpAuxProjPath,
                                                LPSTR lpParentProjPath);
SCC_API SCCRTN SCC_CALL SccIsMultiCheckoutEnabled(LPVOID pContext, LPBOOL pbMultiCheckout);
SCC_API SCCRTN SCC_CALL SccWillCreateSccFile(LPVOID pContext, LONG nFiles, LPCSTR* lpFileNames,
                                             LPBOOL pbSccFiles);
SCC_API SCCRTN SCC_CALL SccBackgroundGet(LPVOID pContext, LONG nFiles, LPCSTR* lpFileNames,
                                         LONG dwFlags, LONG dwBackgroundOperationID);
SCC_API SCCRTN SCC_CALL SccPopulateDirList(LPVOID pContext, LONG nDirs, LPCSTR* lpDirPaths,
                                           POPDIRLISTFUNC pfnPopulate, LPVOID pvCallerData,
                                           LONG dwFlags);
SCC_API SCCRTN SCC_CALL SccQueryChanges(LPVOID pContext, LONG nFiles, LPCSTR* lpFileNames,
                                        QUERYCHANGESFUNC pfnCallback, LPVOID pvCallerData);
SCC_API SCCRTN SCC_CALL SccGetUserOption(LPVOID pContext, LONG nOption, LPLONG lpVal);
SCC_API SCCRTN SCC_CALL SccGetExtendedCapabilities(LPVOID pContext, LONG lSccExCap,
                                                   LPBOOL lpbSupported);
SCC_API SCCRTN SCC_CALL SccEnumChangedFiles(LPVOID pContext, HWND hWnd, LONG nFiles,
                                            LPCSTR* lpFileNames, LONG* plIsFileDifferent);
SCC_API SCCRTN SCC_CALL SccAddFilesFromSCC(LPVOID pContext, HWND hWnd, LPSTR lpUser,
                                           LPSTR lpAuxProjPath, LONG nFiles, LPCSTR* lpFilePaths,
                                           LPCSTR lpDestination, LPCSTR lpComment,
                                           LPBOOL pbResults);
SCC_API SCCRTN SCC_CALL SccRemoveDir(LPVOID pContext, HWND hWnd, LPSTR lpUser, LPCSTR lpDirPath,
                                     LPCSTR lpComment, LONG fOptions, LPVOID pvOptions);

#ifdef __cplusplus
}
#endif

#endif
