// The provider object behind the host's context pointer.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "scc_api.h"

namespace nrwscc {
struct Scope;
struct FileSetRules;
}  // namespace nrwscc

// One virtual operation per source-control command, in a fixed slot order.
class NRWScc_Base {
  public:
    virtual ~NRWScc_Base();
    virtual SCCRTN Initialize(HWND hWnd, LPCSTR lpCallerName, LPSTR lpSccName, LPLONG lpSccCaps,
                              LPSTR lpAuxPathLabel, LPLONG pnCheckoutCommentLen,
                              LPLONG pnCommentLen) = 0;
    virtual SCCRTN UnInitialize() = 0;
    virtual SCCRTN OpenProject(HWND hWnd, LPSTR lpUser, LPSTR lpProjName, LPCSTR lpLocalProjPath,
                               LPSTR lpAuxProjPath, LPCSTR lpComment, LPTEXTOUTPROC lpTextOutProc,
                               LONG dwFlags) = 0;
    virtual SCCRTN CloseProject() = 0;
    virtual SCCRTN Checkout(HWND hWnd, LONG nFiles, LPCSTR* lpFileNames, LPCSTR lpComment,
                            LONG fOptions, LPVOID pvOptions) = 0;
    virtual SCCRTN Uncheckout(HWND hWnd, LONG nFiles, LPCSTR* lpFileNames, LONG fOptions,
                              LPVOID pvOptions) = 0;
    virtual SCCRTN Checkin(HWND hWnd, LONG nFiles, LPCSTR* lpFileNames, LPCSTR lpComment,
                           LONG fOptions, LPVOID pvOptions) = 0;
    virtual SCCRTN Add(HWND hWnd, LONG nFiles, LPCSTR* lpFileNames, LPCSTR lpComment,
                       LONG* pfOptions, LPVOID pvOptions) = 0;
    virtual SCCRTN Remove(HWND hWnd, LONG nFiles, LPCSTR* lpFileNames, LPCSTR lpComment,
                          LONG fOptions, LPVOID pvOptions) = 0;
    virtual SCCRTN Get(HWND hWnd, LONG nFiles, LPCSTR* lpFileNames, LONG fOptions,
                       LPVOID pvOptions) = 0;
    virtual SCCRTN Diff(HWND hWnd, LPCSTR lpFileName, LONG fOptions, LPVOID pvOptions) = 0;
    virtual SCCRTN DirDiff(HWND hWnd, LPCSTR lpDirName, LONG dwFlags, LPVOID pvOptions) = 0;
    virtual SCCRTN History(HWND hWnd, LONG nFiles, LPCSTR* lpFileNames, LONG fOptions,
                           LPVOID pvOptions) = 0;
    virtual SCCRTN QueryInfo(LONG nFiles, LPCSTR* lpFileNames, LPLONG lpStatus) = 0;
    virtual SCCRTN DirQueryInfo(LONG nDirs, LPCSTR* lpDirNames, LPLONG lpStatus) = 0;
    virtual SCCRTN GetEvents(LPSTR lpFileName, LPLONG lpStatus, LPLONG pnEventsRemaining) = 0;
    virtual SCCRTN RunScc(HWND hWnd, LONG nFiles, LPCSTR* lpFileNames) = 0;
    virtual SCCRTN GetProjPath(HWND hWnd, LPSTR lpUser, LPSTR lpProjName, LPSTR lpLocalPath,
                               LPSTR lpAuxProjPath, BOOL bAllowChangePath, LPBOOL pbNew) = 0;
    virtual SCCRTN GetCommandOptions(HWND hWnd, enum SCCCOMMAND iCommand,
                                     LPCMDOPTS* ppvOptions) = 0;
    virtual SCCRTN BeginBatch() = 0;
    virtual SCCRTN EndBatch() = 0;
    virtual SCCRTN Rename(HWND hWnd, LPCSTR lpFileName, LPCSTR lpNewName) = 0;
    virtual SCCRTN AddFromScc(HWND hWnd, LPLONG pnFiles, LPCSTR** lplpFileNames) = 0;
    virtual SCCRTN Properties(HWND hWnd, LPCSTR lpFileName) = 0;
    virtual SCCRTN PopulateList(enum SCCCOMMAND nCommand, LONG nFiles, LPCSTR* lpFileNames,
                                POPLISTFUNC pfnPopulate, LPVOID pvCallerData, LPLONG lpStatus,
                                LONG fOptions) = 0;
    virtual SCCRTN SetOption(LONG nOption, LONG_PTR dwVal) = 0;
    virtual SCCRTN CreateSubProject(HWND hWnd, LPSTR lpUser, LPCSTR lpParentProjPath,
                                    LPCSTR lpSubProjName, LPSTR lpAuxProjPath,
                                    LPSTR lpSubProjPath) = 0;
    virtual SCCRTN GetParentProjectPath(HWND hWnd, LPSTR lpUser, LPCSTR lpProjPath,
                                        LPSTR lpAuxProjPath, LPSTR lpParentProjPath) = 0;
    virtual SCCRTN IsMultiCheckoutEnabled(LPBOOL pbMultiCheckout) = 0;
    virtual SCCRTN WillCreateSccFile(LONG nFiles, LPCSTR* lpFileNames, LPBOOL pbSccFiles) = 0;
    virtual SCCRTN BackgroundGet(LONG nFiles, LPCSTR* lpFileNames, LONG dwFlags,
                                 LONG dwBackgroundOperationID) = 0;
    virtual SCCRTN PopulateDirList(LONG nDirs, LPCSTR* lpDirPaths, POPDIRLISTFUNC pfnPopulate,
                                   LPVOID pvCallerData, LONG dwFlags) = 0;
    virtual SCCRTN QueryChanges(LONG nFiles, LPCSTR* lpFileNames, QUERYCHANGESFUNC pfnCallback,
                                LPVOID pvCallerData) = 0;
    virtual SCCRTN GetUserOption(LONG nOption, LPLONG lpVal) = 0;
    virtual SCCRTN GetExtendedCapabilities(LONG lSccExCap, LPBOOL lpbSupported) = 0;
    virtual SCCRTN EnumChangedFiles(HWND hWnd, LONG nFiles, LPCSTR* lpFileNames,
                                    LONG* plIsFileDifferent) = 0;
    virtual SCCRTN AddFilesFromSCC(HWND hWnd, LPSTR lpUser, LPSTR lpAuxProjPath, LONG nFiles,
                                   LPCSTR* lpFilePaths, LPCSTR lpDestination, LPCSTR lpComment,
                                   LPBOOL pbResults) = 0;
    virtual SCCRTN RemoveDir(HWND hWnd, LPSTR lpUser, LPCSTR lpDirPath, LPCSTR lpComment,
                             LONG fOptions, LPVOID pvOptions) = 0;
};

// Fourteen of these slots are reached by no export: DirDiff, BeginBatch,
// EndBatch, CreateSubProject, GetParentProjectPath, IsMultiCheckoutEnabled,
// WillCreateSccFile, BackgroundGet, QueryChanges, GetUserOption,
// GetExtendedCapabilities, EnumChangedFiles, AddFilesFromSCC and RemoveDir.
// Their exports answer by themselves (exports.cpp), whatever the provider, but
// the slots stay and are implemented so that the table keeps every command in
// its fixed place.
class NRWScc_Impl : public NRWScc_Base {
  public:
    NRWScc_Impl();
    ~NRWScc_Impl() override;

    // Allocates and constructs a provider; null when memory runs out.
    static NRWScc_Impl* createProvider();

    bool isProjectOpen() const { return m_projState.load() != 0; }

    SCCRTN Initialize(HWND hWnd, LPCSTR lpCallerName, LPSTR lpSccName, LPLONG lpSccCaps,
                      LPSTR lpAuxPathLabel, LPLONG pnCheckoutCommentLen,
                      LPLONG pnCommentLen) override;
    SCCRTN UnInitialize() override;
    SCCRTN OpenProject(HWND hWnd, LPSTR lpUser, LPSTR lpProjName, LPCSTR lpLocalProjPath,
                       LPSTR lpAuxProjPath, LPCSTR lpComment, LPTEXTOUTPROC lpTextOutProc,
                       LONG dwFlags) override;
    SCCRTN CloseProject() override;
    SCCRTN Checkout(HWND hWnd, LONG nFiles, LPCSTR* lpFileNames, LPCSTR lpComment, LONG fOptions,
                    LPVOID pvOptions) override;
    SCCRTN Uncheckout(HWND hWnd, LONG nFiles, LPCSTR* lpFileNames, LONG fOptions,
                      LPVOID pvOptions) override;
    SCCRTN Checkin(HWND hWnd, LONG nFiles, LPCSTR* lpFileNames, LPCSTR lpComment, LONG fOptions,
                   LPVOID pvOptions) override;
    SCCRTN Add(HWND hWnd, LONG nFiles, LPCSTR* lpFileNames, LPCSTR lpComment, LONG* pfOptions,
               LPVOID pvOptions) override;
    SCCRTN Remove(HWND hWnd, LONG nFiles, LPCSTR* lpFileNames, LPCSTR lpComment, LONG fOptions,
                  LPVOID pvOptions) override;
    SCCRTN Get(HWND hWnd, LONG nFiles, LPCSTR* lpFileNames, LONG fOptions,
               LPVOID pvOptions) override;
    SCCRTN Diff(HWND hWnd, LPCSTR lpFileName, LONG fOptions, LPVOID pvOptions) override;
    SCCRTN DirDiff(HWND hWnd, LPCSTR lpDirName, LONG dwFlags, LPVOID pvOptions) override;
    SCCRTN History(HWND hWnd, LONG nFiles, LPCSTR* lpFileNames, LONG fOptions,
                   LPVOID pvOptions) override;
    SCCRTN QueryInfo(LONG nFiles, LPCSTR* lpFileNames, LPLONG lpStatus) override;
    SCCRTN DirQueryInfo(LONG nDirs, LPCSTR* lpDirNames, LPLONG lpStatus) override;
    SCCRTN GetEvents(LPSTR lpFileName, LPLONG lpStatus, LPLONG pnEventsRemaining) override;
    SCCRTN RunScc(HWND hWnd, LONG nFiles, LPCSTR* lpFileNames) override;
    SCCRTN GetProjPath(HWND hWnd, LPSTR lpUser, LPSTR lpProjName, LPSTR lpLocalPath,
                       LPSTR lpAuxProjPath, BOOL bAllowChangePath, LPBOOL pbNew) override;
    SCCRTN GetCommandOptions(HWND hWnd, enum SCCCOMMAND iCommand, LPCMDOPTS* ppvOptions) override;
    SCCRTN BeginBatch() override;
    SCCRTN EndBatch() override;
    SCCRTN Rename(HWND hWnd, LPCSTR lpFileName, LPCSTR lpNewName) override;
    SCCRTN AddFromScc(HWND hWnd, LPLONG pnFiles, LPCSTR** lplpFileNames) override;
    SCCRTN Properties(HWND hWnd, LPCSTR lpFileName) override;
    SCCRTN PopulateList(enum SCCCOMMAND nCommand, LONG nFiles, LPCSTR* lpFileNames,
                        POPLISTFUNC pfnPopulate, LPVOID pvCallerData, LPLONG lpStatus,
                        LONG fOptions) override;
    SCCRTN SetOption(LONG nOption, LONG_PTR dwVal) override;
    SCCRTN CreateSubProject(HWND hWnd, LPSTR lpUser, LPCSTR lpParentProjPath, LPCSTR lpSubProjName,
                            LPSTR lpAuxProjPath, LPSTR lpSubProjPath) override;
    SCCRTN GetParentProjectPath(HWND hWnd, LPSTR lpUser, LPCSTR lpProjPath, LPSTR lpAuxProjPath,
                                LPSTR lpParentProjPath) override;
    SCCRTN IsMultiCheckoutEnabled(LPBOOL pbMultiCheckout) override;
    SCCRTN WillCreateSccFile(LONG nFiles, LPCSTR* lpFileNames, LPBOOL pbSccFiles) override;
    SCCRTN BackgroundGet(LONG nFiles, LPCSTR* lpFileNames, LONG dwFlags,
                         LONG dwBackgroundOperationID) override;
    SCCRTN PopulateDirList(LONG nDirs, LPCSTR* lpDirPaths, POPDIRLISTFUNC pfnPopulate,
                           LPVOID pvCallerData, LONG dwFlags) override;
    SCCRTN QueryChanges(LONG nFiles, LPCSTR* lpFileNames, QUERYCHANGESFUNC pfnCallback,
                        LPVOID pvCallerData) override;
    SCCRTN GetUserOption(LONG nOption, LPLONG lpVal) override;
    SCCRTN GetExtendedCapabilities(LONG lSccExCap, LPBOOL lpbSupported) override;
    SCCRTN EnumChangedFiles(HWND hWnd, LONG nFiles, LPCSTR* lpFileNames,
                            LONG* plIsFileDifferent) override;
    SCCRTN AddFilesFromSCC(HWND hWnd, LPSTR lpUser, LPSTR lpAuxProjPath, LONG nFiles,
                           LPCSTR* lpFilePaths, LPCSTR lpDestination, LPCSTR lpComment,
                           LPBOOL pbResults) override;
    SCCRTN RemoveDir(HWND hWnd, LPSTR lpUser, LPCSTR lpDirPath, LPCSTR lpComment, LONG fOptions,
                     LPVOID pvOptions) override;

  private:
    // Windows around a command.
    void resolveParentWindow(HWND& window) const;
    void raiseHostWindow(HWND window) const;
    void activateHelperWindow() const;

    // False only when the file is known not to exist.
    static bool isFilePresent(LPCSTR path);

    SCCRTN runFileSetCommand(const nrwscc::FileSetRules& rules, HWND hWnd, LONG nFiles,
                             LPCSTR* lpFileNames) const;
    SCCRTN classifyAndAdd(nrwscc::Scope& scope, HWND hWnd, LONG nFiles, LPCSTR* lpFileNames) const;
    SCCRTN quickDiff(nrwscc::Scope& scope, LPCSTR lpFileName);
    // Rename in the two orders hosts use: the file moved first, or moved after.
    SCCRTN renameMovedFile(nrwscc::Scope& scope, HWND hWnd, const std::string& old_path,
                           const std::string& new_path, const std::string& new_name);
    SCCRTN renameFileBeforeItMoves(nrwscc::Scope& scope, HWND hWnd, const std::string& old_path,
                                   const std::string& new_path, const std::string& new_name,
                                   bool one_file);
    int sendRename(HWND hWnd, const std::string& old_path, const std::string& new_name);
    SCCRTN finishRename(nrwscc::Scope& scope, HWND hWnd, int renamed, bool settled,
                        const std::string& new_path);
    void sendText(const char* text) const;

    // A command may still run on another thread while the host ends the provider,
    // so the members that ending changes are read and written under m_memberLock.
    bool callerIs(const char* name) const;
    LPTEXTOUTPROC textOutProc() const;

    mutable std::mutex m_memberLock;
    std::string m_callerName;
    LPTEXTOUTPROC m_textOutProc = nullptr;
    std::atomic<int32_t> m_projState{0};
};
