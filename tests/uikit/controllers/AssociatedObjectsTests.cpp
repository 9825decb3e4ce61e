#include "uikit/controllers/UIBarItems.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/view/UIView.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

const char keyA = 0;
const char keyB = 0;

// A value that notes its release, and may touch its object's associations while it goes.
struct Marker {
    std::shared_ptr<int> released = std::make_shared<int>(0);
    struct Tail {
        std::shared_ptr<int> released;
        cw::AssociatedObjects* owner = nullptr;
        ~Tail() {
            ++*released;
            if (owner) owner->setAssociatedObject(&keyB, 7); // re-entrant: must not crash
        }
    };
    std::shared_ptr<Tail> tail;
    explicit Marker(cw::AssociatedObjects* owner = nullptr) : tail(std::make_shared<Tail>()) {
        tail->released = released;
        tail->owner = owner;
    }
};

template <class Object> void checkSlots(Object& object) {
    EXPECT_EQ(object.template associatedObject<int>(&keyA), nullptr);
    object.setAssociatedObject(&keyA, 5);
    object.setAssociatedObject(&keyB, std::string("badge"));
    ASSERT_NE(object.template associatedObject<int>(&keyA), nullptr);
    EXPECT_EQ(*object.template associatedObject<int>(&keyA), 5);
    // A value of another type reads as none.
    EXPECT_EQ(object.template associatedObject<std::string>(&keyA), nullptr);
    EXPECT_EQ(*object.template associatedObject<std::string>(&keyB), "badge");

    // Replacing releases the old value; an empty value removes the key.
    Marker first;
    object.setAssociatedObject(&keyA, first);
    auto released = first.released;
    first = Marker();
    object.setAssociatedObject(&keyA, 6);
    EXPECT_EQ(*released, 1);
    object.setAssociatedObject(&keyA, std::any());
    EXPECT_FALSE(object.hasAssociatedObject(&keyA));
    EXPECT_TRUE(object.hasAssociatedObject(&keyB));
}

TEST(AssociatedObjects, ViewsControllersAndBarItemsKeepKeyedValues) {
    auto view = std::make_shared<UIView>();
    auto controller = std::make_shared<UIViewController>();
    UIBarButtonItem item;
    checkSlots(*view);
    checkSlots(*controller);
    checkSlots(item);
    // Each object has its own.
    view->setAssociatedObject(&keyA, 1);
    EXPECT_EQ(controller->associatedObject<int>(&keyA), nullptr);
}

TEST(AssociatedObjects, ValuesGoWithTheirObject) {
    auto view = std::make_shared<UIView>();
    auto box = std::make_shared<int>(3);
    std::weak_ptr<int> watch = box;
    view->setAssociatedObject(&keyA, box);
    box.reset();
    EXPECT_FALSE(watch.expired());

    // One whose release touches the object's associations as the object goes.
    Marker marker(view.get());
    auto released = marker.released;
    view->setAssociatedObject(&keyB, std::move(marker));
    view.reset();
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(*released, 1);

    auto controller = std::make_shared<UIViewController>();
    controller->setAssociatedObject(&keyA, std::weak_ptr<UIViewController>(controller));
    std::weak_ptr<UIViewController> gone = controller;
    controller.reset();
    EXPECT_TRUE(gone.expired()); // a value that refers back weakly keeps nothing alive
}

} // namespace
