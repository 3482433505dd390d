// Selection of the route that serves a request.
//
// Routes are matched against the URL's path only: everything from the first "?" on is left out,
// because request dispatch reads the query itself, and with it in place a literal route would
// never match and a template's last parameter would swallow the query.
#pragma once

#include <span>

#include "sdk/api/api_route.h"
#include "sdk/api/request_context.h"

namespace Vela::Sdk {

/// Selects among `routes`, in order: a route with a tag only for GET and HEAD; a route whose
/// registration has a method other than 0 only for that method (and custom name) unless
/// `skipMethodCheck`; of several matches the one with the fewest decoded parameter characters,
/// the earlier on a tie; a match without parameters ends the search. Fills the context's
/// selection and path parameters; true when a function or a tag was selected.
bool FindRoute(RequestContext& context, std::span<const ApiRoute> routes, bool skipMethodCheck);

}  // namespace Vela::Sdk
