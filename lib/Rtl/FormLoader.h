// Reads a stored form description into a component: sets its published properties by name,
// creates the components it contains by registered class name, fills the owner's fields of the
// same names and binds event handlers to the owner's published methods.
#pragma once

#include "Classes.h"
#include "FormData.h"

// Raises EReadError "Error reading <component>.<property>: <reason>" for a value that does not
// fit its property, EClassNotFound for an unknown class. Properties that no class here knows are
// kept on their component (KeptProperties) rather than rejected.
void ReadComponentFromForm(TComponent& root, const TFormObject& description);
