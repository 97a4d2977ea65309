#include "ui/widget.h"

#include <gtest/gtest.h>

#include "ui/cairo_context.h"
#include "ui/i_cairo_widget.h"

namespace NPluginUI {
namespace {

class CountingWidget : public CWidget, public ICairoWidget {
public:
    explicit CountingWidget(int* destroyed) : mDestroyed(destroyed) {}
    CountingWidget(int width, int height, int* destroyed) : CWidget(width, height), mDestroyed(destroyed) {}
    ~CountingWidget() override { ++*mDestroyed; }
    void draw(int, int) override {}

private:
    int* mDestroyed;
};

TEST(Widget, SizeIsStoredWithoutValidation) {
    int destroyed = 0;
    CountingWidget empty(&destroyed);
    EXPECT_EQ(0, empty.getWidth());
    EXPECT_EQ(0, empty.getHeight());

    CountingWidget widget(400, 60, &destroyed);
    EXPECT_EQ(400, widget.getWidth());
    EXPECT_EQ(60, widget.getHeight());
    EXPECT_TRUE(widget.setSize(-5, 3));
    EXPECT_EQ(-5, widget.getWidth());
    EXPECT_EQ(3, widget.getHeight());
}

TEST(Widget, DefaultMouseHandlingDeclines) {
    int destroyed = 0;
    CountingWidget widget(10, 10, &destroyed);
    bool handled = true;
    EXPECT_FALSE(widget.onMouse(5, 5, NPluginMouse::MOUSE_EVENT_PRESS, 1, 0, handled));
    EXPECT_FALSE(handled);
}

TEST(Widget, DestroyingThroughEitherBaseRunsTheWholeDestructor) {
    int destroyed = 0;
    CWidget* asWidget = new CountingWidget(&destroyed);
    delete asWidget;
    EXPECT_EQ(1, destroyed);
    ICairoWidget* asCairoWidget = new CountingWidget(&destroyed);
    delete asCairoWidget;
    EXPECT_EQ(2, destroyed);
}

TEST(CairoContext, StartsWithoutCairoContext) {
    CCairoContext context;
    EXPECT_EQ(nullptr, context.mCairo);
}

}  // namespace
}  // namespace NPluginUI
