-- Pennora.db: every table of Lumivox. The build makes a fresh database from this
-- file only when none exists beside the program. The tables of the first release
-- (data form 0) are never created, altered or dropped by the program; tables added
-- later reach an existing database through the program's upgrade at start-up
-- (src/db/schemaupgrade.cpp), which must add exactly what stands here.
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
-- The list of notices is read from this index alone, without the bodies.
CREATE INDEX T_お知らせ_一覧 ON T_お知らせ (NewsID, 見出し, 作成日時, 送信日時);

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
    文字数           INTEGER,
    文字コード       INTEGER,       -- 0 ISO-2022-JP (also Null), 1 UTF-8, 2 automatic
    毎分上限         INTEGER,       -- mails a minute at most; 0 or Null: no limit
    一日上限         INTEGER        -- mails in 24 hours at most; 0 or Null: no limit
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

-- Added in data form 1: every sending run and the result for each recipient ------

-- One sending run of a notice.
CREATE TABLE T_送信記録 (
    送信ID           INTEGER PRIMARY KEY,
    NewsID           INTEGER,       -- Null once the notice is deleted or pasted over
    種別             VARCHAR(10),   -- 全員, or 未送信のみ (only those not yet reached)
    見出し           VARCHAR(80),   -- as sent
    開始日時         VARCHAR(20),   -- "yyyy/mm/dd hh:nn:ss"
    終了日時         VARCHAR(20),   -- Null while it runs, or when the program was cut short
    終了理由         TEXT,          -- Null when every row was tried; ｷｬﾝｾﾙ or the failure
    宛先数           INTEGER,       -- rows of the send list
    既送信数         INTEGER,       -- of those, already reached by earlier runs (not sent)
    グループ名称付加 INTEGER,       -- the send options of the run
    名前付加         INTEGER,
    文字数制限       INTEGER,
    文字数           INTEGER,
    サーバー名       VARCHAR(255),
    ポート番号       INTEGER,
    "送信元E-Mail"   VARCHAR(255)
);
CREATE INDEX T_送信記録_NewsID ON T_送信記録 (NewsID);

-- One row of a run's send list, each outcome committed as it happens.
CREATE TABLE T_送信結果 (
    送信ID       INTEGER NOT NULL,
    順番         INTEGER NOT NULL, -- 1 … in the order of the send list
    GroupID      INTEGER,
    グループ名称 VARCHAR(50),
    MemberID     INTEGER,
    名前         VARCHAR(10),
    敬称         VARCHAR(10),
    "E-Mail"     VARCHAR(64),
    状態         VARCHAR(4),       -- 未送信, 不明 (on the wire), 送信済, 拒否
    日時         VARCHAR(20),      -- when the state was set
    応答         TEXT,             -- the server's reply line, or why it was not sent
    PRIMARY KEY (送信ID, 順番)
);

-- The data form this file makes: the number of the last upgrade step.
PRAGMA user_version = 3;
