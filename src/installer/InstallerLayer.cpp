// The installer layer: handles over package databases, views and records, and the roles over
// the installed-products database and the install engine.
#include "installer/InstallerLayer.h"

#include <map>
#include <memory>
#include <optional>
#include <variant>

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include "installer/Package.h"
#include "installer/ProductRegistry.h"
#include "installer/SqlConnection.h"

namespace ardela::installer {

namespace {

struct DatabaseObject {
    std::shared_ptr<SqlConnection> connection;
};
struct ViewObject {
    std::shared_ptr<SqlConnection> connection; // keeps the database open while the view lives
    QString sql;
    std::unique_ptr<QSqlQuery> query;
    bool executed = false;
};
struct RecordObject {
    QVariantList fields;
};
using InstallerObject = std::variant<DatabaseObject, ViewObject, RecordObject>;

struct LayerState {
    std::map<InstallerHandle, InstallerObject> objects;
    InstallerHandle next = 1;
    InstallUiLevel level = InstallUiLevel::Basic;
    QWidget* owner = nullptr;
    InstallerObserver observer;
};

LayerState& State()
{
    static LayerState state;
    return state;
}

template <typename T>
T* Lookup(InstallerHandle handle)
{
    auto it = State().objects.find(handle);
    return it == State().objects.end() ? nullptr : std::get_if<T>(&it->second);
}

InstallerHandle Keep(InstallerObject object)
{
    LayerState& s = State();
    const InstallerHandle handle = s.next++;
    s.objects.emplace(handle, std::move(object));
    return handle;
}

// Copies `text` into a caller's buffer of `*length` characters, as the roles promise.
unsigned ToBuffer(const QString& text, QString* value, unsigned* length)
{
    if (!value || !length)
        return kErrorInvalidParameter;
    const unsigned room = *length;
    *length = unsigned(text.size());
    if (unsigned(text.size()) + 1 > room) {
        *value = room > 0 ? text.left(int(room) - 1) : QString();
        return kErrorMoreData;
    }
    *value = text;
    return kSuccess;
}

} // namespace

unsigned OpenDatabase(const QString& path, DatabaseMode mode, InstallerHandle* database)
{
    if (!database || mode != DatabaseMode::ReadOnly)
        return kErrorInvalidParameter;
    auto connection = std::make_shared<SqlConnection>(path, SqlConnection::Mode::ReadOnly);
    if (!connection->IsOpen())
        return kErrorOpenFailed;
    *database = Keep(DatabaseObject{std::move(connection)});
    return kSuccess;
}

unsigned DatabaseOpenView(InstallerHandle database, const QString& query, InstallerHandle* view)
{
    const DatabaseObject* db = Lookup<DatabaseObject>(database);
    if (!db)
        return kErrorInvalidHandle;
    if (!view)
        return kErrorInvalidParameter;
    auto q = std::make_unique<QSqlQuery>(db->connection->Db());
    if (!q->prepare(query))
        return kErrorBadQuerySyntax;
    *view = Keep(ViewObject{db->connection, query, std::move(q), false});
    return kSuccess;
}

unsigned ViewExecute(InstallerHandle view, InstallerHandle parameters)
{
    ViewObject* v = Lookup<ViewObject>(view);
    if (!v)
        return kErrorInvalidHandle;
    if (parameters != 0)
        return kErrorInvalidParameter;
    if (!v->query->exec())
        return kErrorFunctionFailed;
    v->executed = true;
    return kSuccess;
}

unsigned ViewFetch(InstallerHandle view, InstallerHandle* record)
{
    ViewObject* v = Lookup<ViewObject>(view);
    if (!v)
        return kErrorInvalidHandle;
    if (!record)
        return kErrorInvalidParameter;
    if (!v->executed)
        return kErrorFunctionFailed;
    if (!v->query->next())
        return v->query->lastError().isValid() ? kErrorFunctionFailed : kErrorNoMoreItems;
    RecordObject r;
    const QSqlRecord row = v->query->record();
    for (int i = 0; i < row.count(); ++i)
        r.fields.append(row.value(i));
    *record = Keep(std::move(r));
    return kSuccess;
}

unsigned RecordGetString(InstallerHandle record, unsigned field, QString* value, unsigned* length)
{
    const RecordObject* r = Lookup<RecordObject>(record);
    if (!r)
        return kErrorInvalidHandle;
    if (field == 0 || field > unsigned(r->fields.size()))
        return kErrorInvalidParameter;
    return ToBuffer(r->fields[int(field) - 1].toString(), value, length);
}

unsigned ViewClose(InstallerHandle view)
{
    ViewObject* v = Lookup<ViewObject>(view);
    if (!v)
        return kErrorInvalidHandle;
    v->query->finish();
    v->executed = false;
    return kSuccess;
}

unsigned CloseHandle(InstallerHandle handle)
{
    return State().objects.erase(handle) == 1 ? kSuccess : kErrorInvalidHandle;
}

int OpenHandleCount()
{
    return int(State().objects.size());
}

unsigned VerifyPackage(const QString& path)
{
    try {
        CheckPackage(path);
        return kSuccess;
    } catch (const PackageError& e) {
        return e.Unreadable() ? kErrorPackageOpenFailed : kErrorPackageInvalid;
    }
}

unsigned EnumRelatedProducts(const QString& upgradeCode, unsigned reserved, unsigned index, QString* productCode)
{
    if (reserved != 0 || !productCode || !IsProductCode(upgradeCode))
        return kErrorInvalidParameter;
    try {
        ProductRegistry registry(false);
        const QStringList related = registry.RelatedProducts(upgradeCode);
        if (index >= unsigned(related.size()))
            return kErrorNoMoreItems;
        *productCode = related[int(index)];
        return kSuccess;
    } catch (const RegistryError&) {
        return kErrorFunctionFailed;
    }
}

unsigned GetProductInfo(const QString& productCode, const QString& property, QString* value, unsigned* length)
{
    if (!IsProductCode(productCode))
        return kErrorInvalidParameter;
    std::optional<InstalledProduct> product;
    try {
        ProductRegistry registry(false);
        product = registry.Find(productCode);
    } catch (const RegistryError&) {
        return kErrorFunctionFailed;
    }
    if (!product)
        return kErrorUnknownProduct;
    const std::map<QString, QString> properties = {
        {QStringLiteral("LocalPackage"), product->localPackage},
        {QStringLiteral("InstallLocation"), product->installFolder},
        {QStringLiteral("ProductName"), product->productName},
        {QStringLiteral("VersionString"), product->productVersion},
        {QStringLiteral("UpgradeCode"), product->upgradeCode},
    };
    const auto it = properties.find(property);
    if (it == properties.end())
        return kErrorUnknownProperty;
    return ToBuffer(it->second, value, length);
}

unsigned InstallProduct(const QString& packagePath, const QString& commandLine)
{
    const LayerState& s = State();
    InstallerUi ui;
    ui.showWindows = s.level != InstallUiLevel::None;
    ui.owner = s.owner;
    ui.observer = s.observer;
    return RunPackage(packagePath, commandLine, ui);
}

InstallUiLevel SetInternalUI(InstallUiLevel level, QWidget** owner)
{
    LayerState& s = State();
    const InstallUiLevel previous = s.level;
    if (level != InstallUiLevel::NoChange)
        s.level = level == InstallUiLevel::Default ? InstallUiLevel::Basic : level;
    if (owner)
        std::swap(s.owner, *owner);
    return previous;
}

void SetInstallerObserver(InstallerObserver observer)
{
    State().observer = std::move(observer);
}

} // namespace ardela::installer
