// Module anchor: keeps the library non-empty while its first classes are written.
namespace tavorin { inline namespace rythmo_module {} }
