#pragma once
#include <string>

namespace vexo {

// Minimal component base: an owner (not owned, may be null) and a name. Ownership of
// sub-components is by std::unique_ptr members of the owner.
class TComponent {
public:
    explicit TComponent(TComponent* AOwner = nullptr) : fOwner(AOwner) {}
    virtual ~TComponent() = default;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return fOwner; }
    const std::string& Name() const { return fName; }
    void SetName(std::string AName) { fName = std::move(AName); }

private:
    TComponent* fOwner;
    std::string fName;
};

} // namespace vexo
