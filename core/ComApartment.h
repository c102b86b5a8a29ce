// Joins the calling thread to a single-threaded COM apartment for the object's
// lifetime, as every window thread that uses MSXML or WIC must.
#pragma once

namespace vorlane {

class ComApartment {
public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    bool joined() const { return joined_; }

private:
    bool joined_ = false;
};

}  // namespace vorlane
