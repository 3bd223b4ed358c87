#include <gtest/gtest.h>

#include "OSError.h"

TEST(OSErrors, MessagesCarryTheCodeAndTheSystemText) {
    EXPECT_EQ(MakeOSError(0).Message(), "A call to an OS function failed");
    const EOSError denied = MakeOSError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(denied.ErrorCode(), 5u);
    EXPECT_EQ(denied.Message(), "System Error.  Code: 5.\r\n" + SysErrorMessage(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(SysErrorMessage(ERROR_ACCESS_DENIED).empty());
    EXPECT_NE(SysErrorMessage(ERROR_ACCESS_DENIED).back(), '.') << "trailing periods and line breaks are cut";

    ::SetLastError(ERROR_FILE_NOT_FOUND);
    try {
        RaiseLastOSError();
        FAIL();
    } catch (const EOSError& error) {
        EXPECT_EQ(error.ErrorCode(), 2u);
    }
}

TEST(OSErrors, OleErrorsUseTheSystemTextOrTheCodeInLowercaseHex) {
    const EOleSysError failed = MakeOleSysError(E_FAIL);
    EXPECT_EQ(failed.ErrorCode(), static_cast<int32_t>(E_FAIL));
    EXPECT_EQ(failed.Message(), SysErrorMessage(static_cast<DWORD>(E_FAIL)));
    EXPECT_EQ(MakeOleSysError(static_cast<HRESULT>(0xA0BCDEF1)).Message(), "OLE error a0bcdef1");
    EXPECT_EQ(OleCheck(S_FALSE), S_FALSE);
    EXPECT_THROW(OleCheck(E_OUTOFMEMORY), EOleSysError);
}

TEST(OSErrors, TheFailingCallAndItsSubjectAreKeptBesideAnUnchangedMessage) {
    const WideString path = u"C:\\no\\such\\\u4E2D.dll";
    ::SetLastError(ERROR_MOD_NOT_FOUND);
    try {
        RaiseLastOSError("LoadLibraryW", path);
        FAIL();
    } catch (const EOSError& error) {
        EXPECT_EQ(error.ErrorCode(), static_cast<uint32_t>(ERROR_MOD_NOT_FOUND));
        EXPECT_EQ(error.Message(), MakeOSError(ERROR_MOD_NOT_FOUND).Message());
        EXPECT_EQ(error.FailingCall(), "LoadLibraryW");
        EXPECT_EQ(error.Subject(), path);
    }
    try {
        OleCheck(E_ACCESSDENIED, "DllRegisterServer", path);
        FAIL();
    } catch (const EOleSysError& error) {
        EXPECT_EQ(error.Message(), MakeOleSysError(E_ACCESSDENIED).Message());
        EXPECT_EQ(error.FailingCall(), "DllRegisterServer");
        EXPECT_EQ(error.Subject(), path);
    }
    const EOSError unnamed = MakeOSError(ERROR_ACCESS_DENIED);
    EXPECT_TRUE(unnamed.FailingCall().empty());
    EXPECT_TRUE(unnamed.Subject().empty());
}

TEST(OSErrors, AmendingTheMessageKeepsTheSubject) {
    try {
        try {
            RaiseOSError(ERROR_ACCESS_DENIED, "DeleteFileW", u"C:\\locked.dll");
        } catch (Exception& error) {
            error.SetMessage("Context.\r\n\r\n" + error.Message());
            throw;
        }
    } catch (const EOSError& error) {
        EXPECT_EQ(error.FailingCall(), "DeleteFileW");
        EXPECT_EQ(error.Subject(), u"C:\\locked.dll");
        EXPECT_EQ(error.Message().rfind("Context.", 0), 0u);
    }
}
