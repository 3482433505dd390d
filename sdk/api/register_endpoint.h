// RegisterEndpoint: offers a member function of the application module as an API function in
// one call — method, URL template, handler and where each argument comes from.
//
//   // Maybe<std::vector<Message>> GetMessages();
//   RegisterEndpoint(registry, *this, kMethodGet, kMessagesUri, &Module::GetMessages, {.tags = Tags()});
//
//   // Maybe<void> CreateLocalMessage(LocalMessageRequest request);
//   RegisterEndpoint(registry, *this, kMethodPost, kMessagesUri, &Module::CreateLocalMessage,
//                    {{"messageRequest", ArgumentLocation::kBody}}, {.tags = Tags()});
//
//   // Maybe<void> DismissMessage(int64_t messageId);
//   RegisterEndpoint(registry, *this, kMethodDelete, kMessageUrl, &Module::DismissMessage,
//                    {{"messageId", ArgumentLocation::kPath}}, {.tags = Tags()});
//
// The handler returns Maybe<R> (R may be void); a Failure's code becomes the response status and
// its message the error text, a value is converted with the registered types. Its parameters are
// native types (bool, integers, floating types, std::string, BindingValue, Blob, enumerations and
// records registered before, std::vector, BindingMap, std::optional for optional arguments),
// taken by value or by const reference. A last parameter `const ApiRequestInfo&` or
// `const ApiRequestInfo*` receives the request information and is not an argument.
//
// The function is named MakeFunctionName(method, urlTemplate) and described in the registry with
// its argument and result types, so help and the flat API description show them. The number of
// argument names must equal the number of arguments (checked at compile time). At registration,
// std::invalid_argument is raised for an argument or result type that is not registered, a
// repeated or empty argument name, a path argument that the template does not capture, or a
// template parameter that names no argument allowed in the path; a template the regex library
// refuses raises std::regex_error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "sdk/api/api_handler.h"
#include "sdk/api/argument_location.h"
#include "sdk/api/function_registration.h"
#include "sdk/binding/binding_registry.h"
#include "sdk/binding/maybe_type.h"
#include "sdk/binding/native_type_traits.h"
#include "sdk/binding/type_registration.h"
#include "sdk/binding/value_conversion.h"

namespace Vela::Sdk {

/// The name of one handler argument and where a request may carry it.
struct EndpointArgument {
  std::string_view name = {};
  ArgumentLocation location = ArgumentLocation::kAny;
  std::string_view description = {};
};

/// Everything of the function's description besides its signature.
struct EndpointOptions {
  // Every member has an initializer, so designated initializers may name any subset.
  std::vector<std::string> tags = {};  // e.g. the module's "Plugins", "Plugin <name>"
  std::string description = {};
  std::string help = {};
  std::string nameSpace = {};
  bool threadSafe = false;
  /// The method name when the method code is kMethodCustom.
  std::string customMethod = {};
};

namespace EndpointDetail {

template <class P>
constexpr int RequestInfoFormOf() {
  if constexpr (std::is_same_v<P, const ApiRequestInfo&>) {
    return 1;
  } else if constexpr (std::is_same_v<P, const ApiRequestInfo*>) {
    return 2;
  } else {
    return 0;
  }
}

template <class P>
constexpr bool IsAcceptedParameter() {
  // A non-const reference would let the handler write into dispatch's converted copy and is
  // almost certainly a mistake.
  return !std::is_reference_v<P> || std::is_const_v<std::remove_reference_t<P>>;
}

template <class... P>
struct Signature {
  static constexpr std::size_t kCount = sizeof...(P);
  static constexpr bool kAccepted = (IsAcceptedParameter<P>() && ...);
  template <std::size_t I>
  using Param = std::tuple_element_t<I, std::tuple<P...>>;
  static constexpr int LastForm() {
    if constexpr (kCount == 0) {
      return 0;
    } else {
      return RequestInfoFormOf<Param<kCount - 1>>();
    }
  }
  static constexpr int kInfoForm = LastForm();
  /// Parameters bound from the request: all but a trailing request information.
  static constexpr std::size_t kArguments = kCount - (kInfoForm != 0 ? 1 : 0);

  template <class Sequence>
  struct NativesOf;
  template <std::size_t... I>
  struct NativesOf<std::index_sequence<I...>> {
    using Type = std::tuple<std::remove_cvref_t<Param<I>>...>;
  };
  using Natives = typename NativesOf<std::make_index_sequence<kArguments>>::Type;
};

template <class M>
struct MethodTraits {
  static constexpr bool kValid = false;
};

template <class C, class R, class... P>
struct MethodTraits<Maybe<R> (C::*)(P...)> {
  static constexpr bool kValid = true;
  using Class = C;
  using Result = R;
  using Parameters = Signature<P...>;
};
template <class C, class R, class... P>
struct MethodTraits<Maybe<R> (C::*)(P...) const> : MethodTraits<Maybe<R> (C::*)(P...)> {};
template <class C, class R, class... P>
struct MethodTraits<Maybe<R> (C::*)(P...) noexcept> : MethodTraits<Maybe<R> (C::*)(P...)> {};
template <class C, class R, class... P>
struct MethodTraits<Maybe<R> (C::*)(P...) const noexcept> : MethodTraits<Maybe<R> (C::*)(P...)> {};

/// Registration checks that need no template: see the file comment for what they refuse.
void CheckEndpoint(std::string_view functionName, std::string_view urlTemplate,
                   const std::vector<ArgumentDescriptor>& arguments, const std::vector<ArgumentLocation>& locations,
                   const TypeSpec& returns);

/// Creates the registration and the function; shared by every RegisterEndpoint.
FunctionDescriptor* RegisterEndpointFunction(BindingRegistry& registry, int32_t method, std::string_view urlTemplate,
                                             std::vector<ArgumentDescriptor> arguments,
                                             std::vector<ArgumentLocation> locations, TypeSpec returns,
                                             std::unique_ptr<ApiHandler> handler, EndpointOptions options);

/// Calls a member function of the module with the converted arguments.
template <class Owner, class Method>
class MemberEndpointHandler final : public ApiHandler {
  using Traits = MethodTraits<Method>;
  using Parameters = typename Traits::Parameters;
  using Natives = typename Parameters::Natives;
  using Result = typename Traits::Result;
  using Class = typename Traits::Class;

  struct Call {
    Natives natives;
  };

 public:
  MemberEndpointHandler(Owner& owner, Method method, const BindingRegistry& registry, std::vector<std::string> names)
      : owner_(&owner), method_(method), registry_(&registry), names_(std::move(names)) {}

  ApiToken Invoke(ApiResult& result, std::vector<BindingValue>& arguments, uintptr_t) override {
    auto call = std::make_unique<Call>();
    ConvertArguments(result, arguments, call->natives, std::make_index_sequence<Parameters::kArguments>{});
    return reinterpret_cast<ApiToken>(call.release());
  }

  void Complete(ApiResult& result, const ApiRequestInfo* info, ApiToken token, uintptr_t) override {
    if (token == 0) return;
    Call& call = *reinterpret_cast<Call*>(token);
    Fill(result, CallMethod(call.natives, info, std::make_index_sequence<Parameters::kArguments>{}));
  }

  void Release(ApiToken token) noexcept override { delete reinterpret_cast<Call*>(token); }

  uint32_t RequestInfoType() const noexcept override {
    if constexpr (Parameters::kInfoForm == 1) {
      return kRequestInfoRecordType;
    } else if constexpr (Parameters::kInfoForm == 2) {
      return kRequestInfoPointerType;
    } else {
      return 0;
    }
  }

 private:
  template <std::size_t... I>
  void ConvertArguments(ApiResult& result, std::vector<BindingValue>& arguments, Natives& natives,
                        std::index_sequence<I...>) {
    (ConvertArgument<I>(result, arguments, std::get<I>(natives)), ...);
  }

  template <std::size_t I, class T>
  void ConvertArgument(ApiResult& result, std::vector<BindingValue>& arguments, T& out) {
    const BindingValue& value = I < arguments.size() ? arguments[I] : BindingValue::EmptyValue();
    ValueToNative(result.value, *registry_, value, names_[I].c_str(), out);
  }

  template <std::size_t... I>
  Maybe<Result> CallMethod(Natives& natives, const ApiRequestInfo* info, std::index_sequence<I...>) {
    Class& target = *owner_;
    if constexpr (Parameters::kInfoForm == 1) {
      static const ApiRequestInfo kNoInformation;
      return (target.*method_)(std::move(std::get<I>(natives))..., info != nullptr ? *info : kNoInformation);
    } else if constexpr (Parameters::kInfoForm == 2) {
      return (target.*method_)(std::move(std::get<I>(natives))..., info);
    } else {
      (void)info;
      return (target.*method_)(std::move(std::get<I>(natives))...);
    }
  }

  void Fill(ApiResult& result, Maybe<Result>&& outcome) {
    if (!outcome.IsOk()) {
      const Failure& failure = outcome.Error();
      result.Fail(failure.Message());
      result.status = failure.Code();
      return;
    }
    if constexpr (!std::is_void_v<Result>) NativeToValue(result.value, *registry_, outcome.Value());
  }

  Owner* owner_;
  Method method_;
  const BindingRegistry* registry_;
  std::vector<std::string> names_;  // for conversion messages
};

template <class Owner, class Method, std::size_t... I>
FunctionDescriptor* RegisterMember(BindingRegistry& registry, Owner& owner, int32_t method,
                                   std::string_view urlTemplate, Method handler,
                                   std::span<const EndpointArgument> arguments, EndpointOptions&& options,
                                   std::index_sequence<I...>) {
  using Traits = MethodTraits<Method>;
  using Parameters = typename Traits::Parameters;
  (void)arguments;  // unused when the handler takes no arguments
  std::vector<ArgumentDescriptor> descriptors;
  descriptors.reserve(sizeof...(I));
  (descriptors.push_back(ArgumentOf<typename Parameters::template Param<I>>(registry, std::string(arguments[I].name),
                                                                            std::string(arguments[I].description))),
   ...);
  std::vector<ArgumentLocation> locations{arguments[I].location...};
  std::vector<std::string> names{std::string(arguments[I].name)...};
  auto callHandler = std::make_unique<MemberEndpointHandler<Owner, Method>>(owner, handler, registry, std::move(names));
  return RegisterEndpointFunction(registry, method, urlTemplate, std::move(descriptors), std::move(locations),
                                  TypeSpecOf<typename Traits::Result>(registry), std::move(callHandler),
                                  std::move(options));
}

template <class Owner, class Method>
constexpr void CheckSignature() {
  using Traits = MethodTraits<Method>;
  static_assert(Traits::kValid, "an endpoint handler is a member function returning Maybe<R> (R may be void)");
  if constexpr (Traits::kValid) {
    static_assert(std::is_base_of_v<typename Traits::Class, Owner>, "the handler must be a member of the module");
    static_assert(Traits::Parameters::kAccepted, "take arguments by value or by const reference");
  }
}

}  // namespace EndpointDetail

/// Registers `handler`, a member function of `owner`, as the API function served under `method`
/// and `urlTemplate`, with one EndpointArgument per argument in parameter order. Returns the
/// function's descriptor.
template <class Owner, class Method, std::size_t N>
FunctionDescriptor* RegisterEndpoint(BindingRegistry& registry, Owner& owner, int32_t method,
                                     std::string_view urlTemplate, Method handler,
                                     const EndpointArgument (&arguments)[N], EndpointOptions options = {}) {
  EndpointDetail::CheckSignature<Owner, Method>();
  using Parameters = typename EndpointDetail::MethodTraits<Method>::Parameters;
  static_assert(N == Parameters::kArguments, "give exactly one EndpointArgument per handler argument");
  return EndpointDetail::RegisterMember(registry, owner, method, urlTemplate, handler,
                                        std::span<const EndpointArgument>(arguments, N), std::move(options),
                                        std::make_index_sequence<N>{});
}

/// The same for a handler without arguments (a request information parameter aside). Only such
/// handlers see this form, so that a braced argument list never reads as EndpointOptions.
template <class Owner, class Method>
requires(EndpointDetail::MethodTraits<Method>::Parameters::kArguments ==
         0) FunctionDescriptor* RegisterEndpoint(BindingRegistry& registry, Owner& owner, int32_t method,
                                                 std::string_view urlTemplate, Method handler,
                                                 EndpointOptions options = {}) {
  EndpointDetail::CheckSignature<Owner, Method>();
  return EndpointDetail::RegisterMember(registry, owner, method, urlTemplate, handler, {}, std::move(options),
                                        std::make_index_sequence<0>{});
}

}  // namespace Vela::Sdk
