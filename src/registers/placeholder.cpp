// Placeholder until the area has its first source file.
namespace lumivox {}
