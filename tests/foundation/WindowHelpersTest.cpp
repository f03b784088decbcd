#include "foundation/WindowHelpers.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace
{
    // A hidden top-level popup window: no frame, so its window rectangle is
    // exactly the one asked for. Destroyed with the object.
    class CTestWindow
    {
    public:
        CTestWindow(int x, int y, int width, int height)
            : m_window(CreateWindowExA(0, "STATIC", "", WS_POPUP, x, y, width, height, NULL, NULL,
                  GetModuleHandleA(NULL), NULL))
        {
        }
        ~CTestWindow()
        {
            if (m_window != NULL)
                DestroyWindow(m_window);
        }
        HWND Get() const { return m_window; }
        RECT Rect() const
        {
            RECT rect = {0, 0, 0, 0};
            GetWindowRect(m_window, &rect);
            return rect;
        }

    private:
        CTestWindow(const CTestWindow&);
        CTestWindow& operator=(const CTestWindow&);

        HWND m_window;
    };
}

TEST(CentreWindow, CentresOverTheReferenceKeepingTheSize)
{
    CTestWindow desktop(0, 0, 1024, 768);
    CTestWindow dialog(5, 7, 300, 200);
    ASSERT_NE(static_cast<HWND>(NULL), desktop.Get());
    ASSERT_NE(static_cast<HWND>(NULL), dialog.Get());

    EXPECT_TRUE(CentreWindow(desktop.Get(), dialog.Get()));
    RECT rect = dialog.Rect();
    EXPECT_EQ(362, rect.left);
    EXPECT_EQ(284, rect.top);
    EXPECT_EQ(300, rect.right - rect.left);
    EXPECT_EQ(200, rect.bottom - rect.top);
}

TEST(CentreWindow, LargerWindowOverhangsBothSidesRoundingTowardZero)
{
    CTestWindow reference(100, 100, 200, 150);
    CTestWindow wide(0, 0, 301, 153);
    EXPECT_TRUE(CentreWindow(reference.Get(), wide.Get()));
    RECT rect = wide.Rect();
    EXPECT_EQ(100 - 50, rect.left);
    EXPECT_EQ(100 - 1, rect.top);
}

TEST(CentreWindow, FailsWithoutMovingWhenAWindowIsMissing)
{
    CTestWindow window(10, 20, 30, 40);
    EXPECT_FALSE(CentreWindow(NULL, window.Get()));
    RECT rect = window.Rect();
    EXPECT_EQ(10, rect.left);
    EXPECT_EQ(20, rect.top);

    CTestWindow reference(0, 0, 100, 100);
    EXPECT_FALSE(CentreWindow(reference.Get(), NULL));
}

TEST(SetWindowIcons, SetsBothIconsOrLeavesThemAlone)
{
    CTestWindow window(0, 0, 50, 50);
    EXPECT_FALSE(SetWindowIcons(GetModuleHandleA(NULL), NULL, 32512));

    // The test program has no icons: nothing is set, and the answer is still true.
    EXPECT_TRUE(SetWindowIcon(window.Get(), 107));
    EXPECT_EQ(0, SendMessageA(window.Get(), WM_GETICON, ICON_SMALL, 0));
    EXPECT_EQ(0, SendMessageA(window.Get(), WM_GETICON, ICON_BIG, 0));

    // The system's own application icon lives in user32 as icon 32512.
    HMODULE user32 = GetModuleHandleA("user32.dll");
    ASSERT_NE(static_cast<HMODULE>(NULL), user32);
    EXPECT_TRUE(SetWindowIcons(user32, window.Get(), 32512));
    LRESULT smallIcon = SendMessageA(window.Get(), WM_GETICON, ICON_SMALL, 0);
    LRESULT bigIcon = SendMessageA(window.Get(), WM_GETICON, ICON_BIG, 0);
    EXPECT_NE(0, smallIcon);
    EXPECT_NE(0, bigIcon);
    ICONINFO info;
    BITMAP bitmap;
    ASSERT_TRUE(GetIconInfo(reinterpret_cast<HICON>(smallIcon), &info));
    ASSERT_NE(0, GetObjectA(info.hbmColor != NULL ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap));
    EXPECT_EQ(16, bitmap.bmWidth);
    if (info.hbmColor != NULL)
        DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
}
