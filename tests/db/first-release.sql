-- Pennora.db as the first release made it (data form 0, before any upgrade step):
-- the starting point of the upgrade tests. Frozen: never edit.

--
-- Columns are in their stored order. Yes/no columns hold the integers 0 and 1
-- (Null where a row was written without them). VARCHAR(n) gives the field size
-- that the lists show as their input hint.

-- Master tables --------------------------------------------------------------

CREATE TABLE T_お知らせ (
    NewsID   INTEGER PRIMARY KEY,  -- 1 to 999
    見出し   VARCHAR(80),
    本文     TEXT,
    作成日時 VARCHAR(20),          -- "yyyy/mm/dd hh:nn:ss"
    送信日時 VARCHAR(20)           -- same form, or "(未送信)"
);

CREATE TABLE T_グループ (
    GroupID      INTEGER PRIMARY KEY,  -- 1 to 99
    グループ名称 VARCHAR(50),
    フリガナ     VARCHAR(50)
);

CREATE TABLE T_メンバー (
    MemberID INTEGER PRIMARY KEY,  -- 1 to 999
    名前     VARCHAR(10),
    フリガナ VARCHAR(20),
    敬称     VARCHAR(10),
    "E-Mail" VARCHAR(64)
);

CREATE TABLE T_メンバーの登録グループ情報 (
    MemberID INTEGER,
    GroupID  INTEGER
);
CREATE INDEX T_メンバーの登録グループ情報_MemberID ON T_メンバーの登録グループ情報 (MemberID);
CREATE INDEX T_メンバーの登録グループ情報_GroupID ON T_メンバーの登録グループ情報 (GroupID);

CREATE TABLE T_お知らせに対する宛先情報 (
    NewsID  INTEGER,
    GroupID INTEGER
);
CREATE INDEX T_お知らせに対する宛先情報_NewsID ON T_お知らせに対する宛先情報 (NewsID);
CREATE INDEX T_お知らせに対する宛先情報_GroupID ON T_お知らせに対する宛先情報 (GroupID);

CREATE TABLE T_敬称 (
    敬称 VARCHAR(10)
);
INSERT INTO T_敬称 (敬称) VALUES ('様'), ('さん'), ('殿'), ('先生'), ('君'), ('ちゃん'), ('御中');

-- At most one row each.
CREATE TABLE T_送信設定 (
    グループ名称付加 INTEGER,
    名前付加         INTEGER,
    文字数制限       INTEGER,
    文字数           INTEGER
);

CREATE TABLE T_SMTPサーバー (
    サーバー名     VARCHAR(255),
    ポート番号     INTEGER,
    ユーザー名     VARCHAR(255),
    パスワード     BLOB,            -- scrambled UTF-16LE code units, any value
    SMTP認証       INTEGER,
    送信元名前     VARCHAR(255),
    "送信元E-Mail" VARCHAR(255),
    接続の保護     INTEGER DEFAULT 0 -- 0 none, 1 STARTTLS, 2 SSL/TLS
);

-- Work tables: emptied and refilled before each use ----------------------------

CREATE TABLE T_temp_グループ一覧 (
    ID      INTEGER,
    GroupID INTEGER
);

CREATE TABLE T_temp_グループ名称 (
    グループ名称 VARCHAR(50)
);

CREATE TABLE T_temp_グループ選択 (
    GroupID      INTEGER,
    選択         INTEGER,
    グループ名称 VARCHAR(50)
);

CREATE TABLE T_temp_送信リスト (
    GroupID      INTEGER,
    グループ名称 VARCHAR(50),
    MemberID     INTEGER,
    名前         VARCHAR(10),
    敬称         VARCHAR(10),
    "E-Mail"     VARCHAR(64)
);
