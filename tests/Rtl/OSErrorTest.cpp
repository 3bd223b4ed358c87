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
