#include "ornith/model/VQModernQueries.h"

namespace ornith::modern {

std::vector<const VQAnnotation*> annotationsIn(const std::optional<VQAttributeSpan>& attributes) {
    std::vector<const VQAnnotation*> out;
    for (const char* name : {"RuntimeVisibleAnnotations", "RuntimeInvisibleAnnotations"})
        if (const auto* list = decoded<VQJavaAnnotationsAttribute>(attributes, name))
            for (const VQAnnotation& annotation : list->annotations()) out.push_back(&annotation);
    return out;
}

bool deprecatedIn(const std::optional<VQAttributeSpan>& attributes) {
    if (firstWithName(attributes, "Deprecated")) return true;
    if (const auto* list =
            decoded<VQJavaAnnotationsAttribute>(attributes, "RuntimeVisibleAnnotations"))
        for (const VQAnnotation& annotation : list->annotations())
            if (annotation.typeDescriptor() == "Ljava/lang/Deprecated;") return true;
    return false;
}

}  // namespace ornith::modern
