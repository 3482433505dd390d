// The texts with which value conversion refuses an input, positional for Format.
#pragma once

namespace Vela::Sdk::ConversionText {

/// %1 target.
inline constexpr char kRequired[] = "A value for '%1' is required.";
/// %1 the text, %2 target.
inline constexpr char kBoolFormat[] =
    "Value %1 for '%2' of type bool is in an incorrect format. Options are \"true\", \"false\", \"1\", \"0\".";
/// %1 target, %2 kind name.
inline constexpr char kBoolInvalidType[] =
    "Couldn't assign value to '%1' of type bool because the input is of an invalid type %2.";
/// %1 the text, %2 target, %3 type name.
inline constexpr char kNumberFormat[] = "Value %1 for '%2' of type %3 is in an incorrect format";
/// %1 the number or text, %2 target, %3 type name.
inline constexpr char kNumberRange[] = "Value %1 for '%2' of type %3 is out of range";
/// %1 target, %2 type name, %3 kind name.
inline constexpr char kNumberInvalidType[] =
    "Couldn't assign value to '%1' of type %2 because the input is of an invalid type %3.";
/// %1 the number or text, %2 the enum's name, %3 target.
inline constexpr char kEnumInvalidValue[] = "%1 is not a valid %2 enumeration value for '%3'.";
/// %1 target, %2 kind name.
inline constexpr char kEnumInvalidType[] =
    "Couldn't assign value to '%1' of enum type because the input is of an invalid type %2.";
/// %1 the number, %2 target.
inline constexpr char kEnumUnknownName[] = "%1 is not a valid enumeration value for '%2'.";
/// %1 target.
inline constexpr char kNotString[] = "Couldn't assign value to '%1' because the input is not a string.";
/// %1 target.
inline constexpr char kBlobBase64[] =
    "Couldn't assign string value to '%1' of type blob because the input has invalid base64 characters.";
/// %1 target.
inline constexpr char kNotBlob[] = "Couldn't assign value to '%1' of type blob because the input is not a blob.";
/// %1 target.
inline constexpr char kUnregisteredStruct[] =
    "Couldn't assign value to '%1' because the input is an unregistered structure or not a structure at all.";
/// %1 target, %2 the struct's name.
inline constexpr char kNotStructure[] = "Couldn't assign value to '%1' of type %2 because the input not a structure.";
/// %1 target, %2 the struct's name, %3 field name.
inline constexpr char kMissingRequiredField[] =
    "Couldn't assign value to '%1' of type %2 because the input structure doesn't have required field '%3'.";
/// %1 target.
inline constexpr char kNotCollection[] =
    "Couldn't assign value to '%1' of type vector because the input not a collection.";
/// %1 target.
inline constexpr char kMapNotStructure[] =
    "Couldn't assign value to '%1' of type map because the input not a structure.";
/// %1 target. Refuses input nested deeper than a recursive record type may be walked.
inline constexpr char kNestedTooDeeply[] = "Couldn't assign value to '%1' because the input is nested too deeply.";
inline constexpr char kUnregisteredNative[] = "Couldn't convert native value because it's an unregistered structure.";

/// %1 the target name, %2 the printed flat kind.
inline constexpr char kFlatIncompatibleType[] =
    "Couldn't assign value to '%1' of type object because the input is of an incompatible type '%2'.";
/// A kind that promises data without it (a null pointer with a count) or a count beyond
/// kMaxFlatCount; %1 the target name, %2 the printed flat kind.
inline constexpr char kFlatMalformed[] = "Couldn't assign value to '%1' because the input of type '%2' is malformed.";
/// %1 the target name, %2 the depth limit.
inline constexpr char kFlatTooDeep[] =
    "Couldn't assign value to '%1' because the input is nested deeper than %2 levels.";
/// The system refused memory or a container grew too long; %1 the target name, %2 the reason.
inline constexpr char kFlatFailed[] = "Couldn't assign value to '%1': %2";

}  // namespace Vela::Sdk::ConversionText
