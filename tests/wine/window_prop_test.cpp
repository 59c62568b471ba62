#include <gtest/gtest.h>
#include <windows.h>
#include "ui/WindowPropWin32.h"
#include "common/ScopedWin32.h"

TEST(WindowProp, AttachFindDetach) {
    HWND w = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, w);
    int object = 42;
    EXPECT_EQ(nullptr, FindObject<int>(w, "Thing_Class"));
    ASSERT_TRUE(AttachObject(w, "Thing_Class", &object));
    EXPECT_EQ(&object, FindObject<int>(w, "Thing_Class"));
    EXPECT_EQ(&object, DetachObject<int>(w, "Thing_Class"));
    EXPECT_EQ(nullptr, FindObject<int>(w, "Thing_Class"));
    EXPECT_EQ(nullptr, FindObject<int>(nullptr, "Thing_Class"));
    DestroyWindow(w);
}

TEST(ScopedHandle, TreatsNullAndInvalidAsEmpty) {
    ScopedHandle none;
    ScopedHandle invalid(INVALID_HANDLE_VALUE);
    EXPECT_FALSE(none.IsValid());
    EXPECT_FALSE(invalid.IsValid());
    ScopedHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    EXPECT_TRUE(event.IsValid());
    event.Close();
    EXPECT_FALSE(event.IsValid());
}

TEST(CodePage, WineRunsWithCodePage932) {
    EXPECT_EQ(932u, GetACP());
}
