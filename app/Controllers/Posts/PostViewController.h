#pragma once

// The post composer, made with its plain constructor and presented in a navigation controller. Its
// delegate hears when a post was created.
//
// For now it shows its title only; the text, the pictures and the sending come with the composer's
// own work.

#include "Controllers/Placeholder/PlaceholderViewController.h"

#include <memory>

// Told after a post was created.
class PostViewControllerDelegate {
public:
    virtual ~PostViewControllerDelegate() = default;
    virtual void succesfullyPosted() = 0;
};

class PostViewController : public PlaceholderViewController {
public:
    PostViewController() : PlaceholderViewController("Create Post") {}

    std::weak_ptr<PostViewControllerDelegate> delegate;
};
