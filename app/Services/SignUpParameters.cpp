#include "Services/SignUpParameters.h"

#include "Services/ServiceSupport.h"

JSON SignUpParameters::dictionaryRepresentation() const {
    JSON parameters = JSON(JSON::dictionary_t{});
    parameters.set("full_name", userData.fullName());
    parameters.set("email", userData.email());
    parameters.set("relationship", rawValue(userData.relationship()));
    parameters.set("password", password);
    if (babyDetails && !babyDetails->empty()) parameters.set("babies", cw::babiesJSON(*babyDetails));
    return parameters;
}
